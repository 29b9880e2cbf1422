#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

#include "contract/data_type.h"
#include "labelvalue/CLabelVariable.h"

namespace vane {

// The element type a record of a given data type holds; the byte-order variants hold the plain type.
enum class ElementKind { None, Bool, Int8, UInt8, Int16, UInt16, Int32, UInt32, Float, Int64, UInt64, Double, String };

ElementKind elementKindOf(DataType type);

// Looks a data type up by its name, without regard to case ("float_cdab" is Float_CDAB).
bool dataTypeFromName(const QString& name, DataType* type);

// The name of a data type; values without one (25 to 32, above 40) come back as their number.
QString dataTypeName(DataType type);

// Every name in enumeration order, for error messages and --help.
QStringList dataTypeNames();

// One line for an unknown name: what was given and every valid name.
QString unknownDataTypeMessage(const QString& name);

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

// The shortest text that reads back as exactly this value ("0.1" for 0.1f, not 0.100000001).
QString shortestText(double value);

} // namespace vane
