#include "connection_string.h"

namespace vane::modbus {
namespace {

// The text before the next comma, removed with its comma; all that is left when there is none.
QString takeField(QString& rest)
{
    const int comma = rest.indexOf(QLatin1Char(','));
    if (comma < 0)
        return rest;
    const QString field = rest.left(comma);
    rest.remove(0, comma + 1);
    return field;
}

} // namespace

SerialParameters parseSerialForm(const QString& text)
{
    QString rest = text;
    SerialParameters p;
    p.portField = takeField(rest);
    p.baudRate = takeField(rest).toInt(nullptr, 10);
    p.dataBits = takeField(rest).toInt(nullptr, 10);
    p.stopBits = takeField(rest).toInt(nullptr, 10);
    p.parity = takeField(rest);
    return p;
}

SocketParameters splitSocketForm(const QString& text)
{
    if (text.startsWith(QLatin1Char('['))) {
        const int close = text.indexOf(QLatin1String("]:"));
        if (close > 0)
            return {text.mid(1, close - 1), text.mid(close + 2)};
    }
    const int colon = text.indexOf(QLatin1Char(':'));
    if (colon < 0)
        return {text, QString()};
    return {text.left(colon), text.mid(colon + 1)};
}

} // namespace vane::modbus
