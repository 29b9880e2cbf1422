#include "serial_settings.h"

#include <QStringList>

namespace vane::host {

namespace {

const int standardBauds[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

bool numberIn(const QString& text, int min, int max)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    return ok && !text.startsWith(QLatin1Char('+')) && value >= min && value <= max;
}

QString parityLetter(const QString& text)
{
    const QString lower = text.toLower();
    if (lower == QLatin1String("n") || lower == QLatin1String("none"))
        return QStringLiteral("N");
    if (lower == QLatin1String("e") || lower == QLatin1String("even"))
        return QStringLiteral("E");
    if (lower == QLatin1String("o") || lower == QLatin1String("odd"))
        return QStringLiteral("O");
    return QString();
}

} // namespace

bool checkConnection(const QString& text, QString* checked, QString* error)
{
    if (!text.contains(QLatin1Char(','))) {
        *checked = text;
        return true;
    }
    const QStringList fields = text.split(QLatin1Char(','));
    const auto fail = [&](const QString& what) {
        *error = QStringLiteral("bad serial settings '%1': %2").arg(text, what);
        return false;
    };
    if (fields.size() != 5 || fields.at(0).isEmpty())
        return fail(QStringLiteral("expected port,baud,data bits,stop bits,parity, e.g. /dev/ttyUSB0,9600,8,1,E"));
    bool baudOk = false;
    for (int baud : standardBauds)
        baudOk = baudOk || fields.at(1) == QString::number(baud);
    if (!baudOk)
        return fail(QStringLiteral("baud rate '%1' is none of 1200 2400 4800 9600 19200 38400 57600 115200").arg(fields.at(1)));
    if (!numberIn(fields.at(2), 5, 8))
        return fail(QStringLiteral("data bits '%1' are not 5 to 8").arg(fields.at(2)));
    if (fields.at(3) != QLatin1String("1") && fields.at(3) != QLatin1String("2"))
        return fail(QStringLiteral("stop bits '%1' are neither 1 nor 2").arg(fields.at(3)));
    const QString parity = parityLetter(fields.at(4));
    if (parity.isEmpty())
        return fail(QStringLiteral("parity '%1' is none of N, E, O (None, Even, Odd)").arg(fields.at(4)));
    *checked = QStringList{fields.at(0), fields.at(1), fields.at(2), fields.at(3), parity}.join(QLatin1Char(','));
    return true;
}

} // namespace vane::host
