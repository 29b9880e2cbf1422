#pragma once

#include <QList>
#include <QVariant>

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
