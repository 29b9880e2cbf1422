#include "build_info.h"

#include <cstring>

#include "log_texts.h"

namespace vane::modbus {

namespace {

// The number of `digits` digits at `text`, a leading space counting as 0; -1 when there is none.
int numberAt(const char* text, int digits)
{
    int number = 0;
    bool any = false;
    for (int i = 0; i < digits; ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            number = number * 10 + (c - '0');
            any = true;
        } else if (c != ' ' || any) {
            return -1;
        }
    }
    return any ? number : -1;
}

} // namespace

// The compiler's stamps have one fixed shape, in English whatever the locale. They are read by
// hand: Qt's date and time parsers keep shared state of their own that two threads asking for
// the first time at once can spoil, leaving the text without its date or time.
QDate buildDateFromStamp(const char* dateStamp)
{
    static const char kMonths[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
    QByteArray stamp(dateStamp);
    stamp.replace("  ", " "); // days below 10 come padded with a space
    const int space = stamp.indexOf(' ', 4);
    if (stamp.size() < 10 || stamp.at(3) != ' ' || space < 5 || stamp.size() - space != 5)
        return QDate();
    const char* found = std::strstr(kMonths, stamp.left(3).constData());
    const int day = numberAt(stamp.constData() + 4, space - 4);
    const int year = numberAt(stamp.constData() + space + 1, 4);
    if (!found || (found - kMonths) % 3 != 0 || day < 0 || year < 0)
        return QDate();
    return QDate(year, static_cast<int>(found - kMonths) / 3 + 1, day);
}

QString buildInformation(const QString& pattern, const QDate& date, const char* timeStamp)
{
    const bool shaped = std::strlen(timeStamp) == 8 && timeStamp[2] == ':' && timeStamp[5] == ':';
    const int hours = shaped ? numberAt(timeStamp, 2) : -1;
    const int minutes = shaped ? numberAt(timeStamp + 3, 2) : -1;
    const int seconds = shaped ? numberAt(timeStamp + 6, 2) : -1;
    const QTime time = QTime::isValid(hours, minutes, seconds) ? QTime(hours, minutes, seconds) : QTime();
    const auto twoDigits = [](int n) { return QString::number(n).rightJustified(2, QLatin1Char('0')); };
    const QString dateText = date.isValid() ? QString::number(date.year()) + QLatin1Char('-') + twoDigits(date.month())
            + QLatin1Char('-') + twoDigits(date.day())
                                            : QString();
    const QString timeText = time.isValid()
        ? twoDigits(time.hour()) + QLatin1Char(':') + twoDigits(time.minute()) + QLatin1Char(':') + twoDigits(time.second())
        : QString();
    return logtext::fill(pattern, {dateText, timeText});
}

} // namespace vane::modbus
