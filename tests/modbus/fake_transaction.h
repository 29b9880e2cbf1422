#pragma once

#include <QByteArray>
#include <QDateTime>

#include "modbus/protocol/planning.h"

// Stands in for one link transaction: records what the planning asked for and answers as told.
struct FakeTransaction {
    vane::modbus::TransactionResult result = vane::modbus::TransactionResult::Done;
    QByteArray reply; // data bytes a read hands back
    int calls = 0;
    int quantity = -1;
    QByteArray sent;
    QDateTime calledAt;

    auto reader()
    {
        return [this](int q, QByteArray* out) {
            record(q);
            out->append(reply);
            return result;
        };
    }

    auto writer()
    {
        return [this](int q, QByteArray& data) {
            record(q);
            sent = data;
            return result;
        };
    }

private:
    void record(int q)
    {
        ++calls;
        quantity = q;
        calledAt = QDateTime::currentDateTime();
    }
};
