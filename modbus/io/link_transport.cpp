#include "link_transport.h"

#include <QEventLoop>

namespace vane::modbus {

int LinkTransport::release()
{
    if (!transport)
        return 1;
    transport->close();
    transport.reset();
    return 0;
}

void sleepInEventLoop(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, SLOT(quit()));
    loop.exec();
}

} // namespace vane::modbus
