#pragma once

#include <QString>

namespace vane::host {

// A short English meaning of a driver log line, from the fixed texts the drivers write; empty for
// lines that are not the drivers' own.
QString driverLineMeaning(const QString& line);

} // namespace vane::host
