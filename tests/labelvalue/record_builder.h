#pragma once

#include <QList>
#include <QVariant>

#include <gtest/gtest.h>

#include "labelvalue/CLabelVariable.h"

// A record of `type` whose count matches its list, as a driver returns it.
template <typename T>
CLabelVariable recordOf(DataType type, const QList<T>& elements)
{
    CLabelVariable record;
    record.type = type;
    record.count = elements.size();
    record.value = QVariant::fromValue(elements);
    record.status = 0;
    record.address = QStringLiteral("4x100");
    return record;
}

template <typename T>
QList<T> elementsOf(const CLabelVariable& record)
{
    return record.value.value<QList<T>>();
}

// Every field of `record` is as a newly made record has it.
inline void expectDefaults(const CLabelVariable& record)
{
    EXPECT_EQ(record.status, 1);
    EXPECT_EQ(record.accessStatus, 1);
    EXPECT_FALSE(record.value.isValid());
    EXPECT_TRUE(record.timestamp.isNull());
    EXPECT_TRUE(record.address.isEmpty());
    EXPECT_EQ(record.count, 0);
    EXPECT_EQ(record.type, NoType);
    EXPECT_EQ(record.reserved, 0);
    EXPECT_TRUE(record.reservedText.isEmpty());
}
