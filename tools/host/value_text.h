#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

#include "contract/data_type.h"
#include "labelvalue/CLabelVariable.h"

namespace vane::host {

// Turns one text per element into the element list a record of `type` carries (a QList of the
// type's element type). Bool takes 0, 1, true, false; integers take decimal within the type's
// range or hex 0x.. as the bit pattern of the type's width (0xFFFF is -1 as Int16); floats take
// decimal or exponent notation, nan and inf. On failure returns false and sets *error to one line.
bool parseValues(DataType type, const QStringList& texts, QVariant* list, QString* error);

enum class ValueStyle { Text, Json, Hex };

// The elements a record holds, read through its typed accessors for the record's type. Text style
// prints bools as 1/0, Json style as true/false and non-finite floats as null. A record whose value
// holds no list of that type (a failed read) gives an empty list. Hex style prints integers and
// floats as the bit pattern of their width (-1 as Int16 is 0xFFFF, 1.0 as Float 0x3F800000).
QStringList formatValues(CLabelVariable& record, ValueStyle style);

} // namespace vane::host
