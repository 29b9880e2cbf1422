#include "modbus_exception.h"

#include <QByteArray>

namespace vane::host {

QString exceptionName(int code)
{
    switch (code) {
    case 0x01: return QStringLiteral("illegal function");
    case 0x02: return QStringLiteral("illegal data address");
    case 0x03: return QStringLiteral("illegal data value");
    case 0x04: return QStringLiteral("server device failure");
    case 0x05: return QStringLiteral("acknowledge");
    case 0x06: return QStringLiteral("server device busy");
    case 0x08: return QStringLiteral("memory parity error");
    case 0x0A: return QStringLiteral("gateway path unavailable");
    case 0x0B: return QStringLiteral("gateway target device failed to respond");
    }
    return QStringLiteral("unknown exception");
}

QString exceptionText(int code)
{
    const QString hex = QString::number(code, 16).toUpper().rightJustified(2, QLatin1Char('0'));
    return hex + QLatin1Char(' ') + exceptionName(code);
}

int exceptionCodeOfAnswer(const QByteArray& hex, Framing framing)
{
    const QByteArray frame = QByteArray::fromHex(hex);
    const int functionAt = framing == Framing::Tcp ? 7 : 1;
    if (frame.size() <= functionAt + 1 || !(static_cast<unsigned char>(frame.at(functionAt)) & 0x80))
        return -1;
    return static_cast<unsigned char>(frame.at(functionAt + 1));
}

} // namespace vane::host
