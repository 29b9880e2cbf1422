#include "status_text.h"

#include "contract/status.h"

namespace vane::host {

QString statusMeaning(int status)
{
    switch (status) {
    case StatusDone: return QStringLiteral("done");
    case StatusInitial: return QStringLiteral("not processed");
    case StatusTypeNotHandled: return QStringLiteral("data type not handled (NoType, or not in this area)");
    case StatusBadArea: return QStringLiteral("area not recognised");
    case StatusBadCount: return QStringLiteral("count rejected");
    case StatusBadAddress: return QStringLiteral("bad address: no offset, or past the end of the table");
    case StatusReadOnly: return QStringLiteral("write refused: read-only area");
    case StatusBadAnswer: return QStringLiteral("transaction failed: reply did not check out");
    case StatusNoAnswer: return QStringLiteral("no reply");
    case StatusNoLink: return QStringLiteral("no link open");
    }
    return QStringLiteral("unknown status");
}

QString connectResultMeaning(int result)
{
    switch (result) {
    case 0: return QStringLiteral("connected");
    case -1: return QStringLiteral("parameters refused (empty host or port name, a number of 0, "
                                   "a host that is no numeric IP address, or a serial port that "
                                   "did not open)");
    case -3: return QStringLiteral("not connected within the time limit");
    case -4: return QStringLiteral("neither host:port nor port,baud,data bits,stop bits,parity");
    }
    return QStringLiteral("refused by the driver");
}

} // namespace vane::host
