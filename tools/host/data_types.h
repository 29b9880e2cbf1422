#pragma once

#include <QString>
#include <QStringList>

#include "contract/data_type.h"

namespace vane::host {

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

} // namespace vane::host
