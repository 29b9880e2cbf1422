#pragma once

// What the front tests watch on the wire: a fake device that answers every read and write
// correctly in the driver's framing, on a loopback socket or at the far end of a pty pair, and
// the station number a request carried.
#include <memory>
#include <string>

#include <QString>

#include "driver_under_test.h"
#include "tests/support/fake_device.h"
#include "tests/support/modbus_frames.h"
#include "tests/support/pattern_answers.h"

namespace fronttest {

inline QByteArray patternAnswer(const QByteArray& request)
{
    return DriverFacts::framing == vanetest::Framing::Mbap ? vanetest::mbapPatternAnswer(request)
                                                           : vanetest::rtuPatternAnswer(request);
}

inline vanetest::Replies patternReplies(const QByteArray& request)
{
    return {vanetest::Reply::send(patternAnswer(request))};
}

inline std::unique_ptr<vanetest::FakeDevice> socketDevice()
{
    return vanetest::FakeDevice::listenTcp(DriverFacts::framing, patternReplies);
}

inline std::unique_ptr<vanetest::FakeDevice> serialDevice(const std::string& path)
{
    return vanetest::FakeDevice::openSerial(path, DriverFacts::framing, patternReplies);
}

inline QString socketForm(const vanetest::FakeDevice& device)
{
    return QStringLiteral("127.0.0.1:%1").arg(device.port());
}

inline QString serialForm(const std::string& path, const char* settings = ",9600,8,1,N")
{
    return QString::fromStdString(path) + QString::fromLatin1(settings);
}

// The station (unit identifier or address) a request frame names; -1 for no frame.
inline int stationOf(const QByteArray& request)
{
    const int at = DriverFacts::framing == vanetest::Framing::Mbap ? 6 : 0;
    return request.size() > at ? static_cast<unsigned char>(request.at(at)) : -1;
}

} // namespace fronttest
