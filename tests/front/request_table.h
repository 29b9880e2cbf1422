#pragma once

// Tables of requests and the status each must end with, run against a driver without a link:
// a request that passes every check reports the missing link, one refused before sending
// reports its check's status.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "codecs/type_codecs.h"
#include "driver_under_test.h"

constexpr int kSent = -1; // passes every check: the link reports it has no transport

struct Request {
    bool write;
    const char* address;
    DataType type;
    int count;
    int status;
};

inline std::string describe(const Request& r)
{
    return std::string(r.write ? "write " : "read ") + r.address + " type " + std::to_string(r.type) + " count "
        + std::to_string(r.count);
}

inline void expectStatuses(std::initializer_list<Request> requests)
{
    Driver driver;
    for (const Request& r : requests) {
        SCOPED_TRACE(describe(r));
        const QString address = QString::fromLatin1(r.address);
        // A write carries as many zero elements of the type's list as it asks for.
        CLabelVariable values;
        values.timestamp = QDateTime::currentDateTime();
        const vane::codecs::Decoder decode = vane::codecs::codecFor(r.type).decode;
        if (r.write && r.count > 0 && decode)
            values.value = decode(QByteArray(r.count * 8, '\0'), r.count);
        const CLabelVariable record = r.write ? driver.WriteVariable(address, r.type, values, r.count)
                                              : driver.ReadVariable(address, r.type, r.count);
        EXPECT_EQ(record.status, r.status == kSent ? DriverFacts::noLinkStatus : r.status);
        EXPECT_EQ(record.value, values.value);
        EXPECT_EQ(record.address, address);
        EXPECT_EQ(record.count, r.count);
        EXPECT_EQ(record.type, r.type);
        EXPECT_TRUE(record.timestamp.isValid());
    }
}
