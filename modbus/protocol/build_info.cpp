#include "build_info.h"

#include <QLocale>
#include <QTime>

#include "log_texts.h"

namespace vane::modbus {

QDate buildDateFromStamp(const char* dateStamp)
{
    QString stamp = QString::fromLatin1(dateStamp);
    stamp.replace(QLatin1String("  "), QLatin1String(" "));
    // "d" takes one- and two-digit days: the stamp of the 1st to the 9th has a single digit.
    return QLocale(QLocale::English).toDate(stamp, QStringLiteral("MMM d yyyy"));
}

QString buildInformation(const QString& pattern, const QDate& date, const char* timeStamp)
{
    const QTime time = QTime::fromString(QString::fromLatin1(timeStamp), QStringLiteral("hh:mm:ss"));
    return logtext::fill(pattern, {date.toString(QStringLiteral("yyyy-MM-dd")), time.toString(QStringLiteral("hh:mm:ss"))});
}

} // namespace vane::modbus
