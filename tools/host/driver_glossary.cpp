#include "driver_glossary.h"

namespace vane::host {

namespace {

struct Gloss {
    const char* text; // UTF-8, as the drivers write it
    const char* meaning;
};

// Longer texts first where one contains another ("写响应" before "响应").
const Gloss glossary[] = {
    {"返回的报文长度为0", "no answer (0 bytes came back)"},
    {"返回的功能码错误", "answer with another function code: usually a Modbus exception answer"},
    {"报文返回长度错误", "answer of the wrong length"},
    {"报文返回序号错误", "answer with the wrong transaction identifier"},
    {"报文校验码错误", "answer with a wrong CRC"},
    {"返回的站号错误", "answer from another station (device address)"},
    {"Socket状态错误", "socket state error: the connection broke"},
    {"IP错误", "bad IP address: not a numeric address"},
    {"打开失败!", "the serial port could not be opened"},
    {"读命令", "read request"},
    {"读响应", "read answer"},
    {"写命令", "write request"},
    {"写响应", "write answer"},
    {"响应", "write answer"},
};

} // namespace

QString driverLineMeaning(const QString& line)
{
    for (const Gloss& gloss : glossary) {
        if (line.contains(QString::fromUtf8(gloss.text)))
            return QLatin1String(gloss.meaning);
    }
    // The RTU link's disconnect notice has no text of its own: "lib[ModbusRTU]<address>:<port> ID=<n>".
    if (line.startsWith(QLatin1String("lib[ModbusRTU]")) && line.contains(QLatin1String(" ID=")))
        return QStringLiteral("the socket connection ended");
    return QString();
}

} // namespace vane::host
