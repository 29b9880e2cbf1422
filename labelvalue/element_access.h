#pragma once

#include <QList>

#include "CLabelVariable.h"

namespace vane::labelvalue {

enum AccessStatus { AccessDone = 0, AccessOutOfRange = 10, AccessWrongType = 11 };

// Element `index` of the record's list of T, recording the outcome in accessStatus. Only a value
// holding exactly QList<T> passes: no converters between the list types exist.
template <typename T>
T elementAt(const CLabelVariable& record, int index)
{
    if (!record.value.canConvert<QList<T>>()) {
        record.accessStatus = AccessWrongType;
        return T();
    }
    const QList<T> elements = record.value.value<QList<T>>();
    if (index >= 0 && index < elements.size()) {
        record.accessStatus = AccessDone;
        return elements.at(index);
    }
    record.accessStatus = AccessOutOfRange;
    return T();
}

} // namespace vane::labelvalue
