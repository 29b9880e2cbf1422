#pragma once

#include <QDate>
#include <QTime>
#include <QString>

namespace vane::modbus {

// The compiler's build-date stamp ("Dec 27 2023", days below 10 padded with a space).
QDate buildDateFromStamp(const char* dateStamp);

// Fills a "... %1 %2" pattern with the build date (yyyy-MM-dd) and the build-time stamp (hh:mm:ss).
QString buildInformation(const QString& pattern, const QDate& date, const char* timeStamp);

} // namespace vane::modbus
