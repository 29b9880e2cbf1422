#include "tcp_test_env.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QThread>

#include <poll.h>

namespace tcptest {

bool sleepUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs)
        QThread::msleep(2);
    return done();
}

bool descriptorReadable(qintptr descriptor)
{
    pollfd entry{static_cast<int>(descriptor), POLLIN, 0};
    return ::poll(&entry, 1, 0) > 0 && (entry.revents & POLLIN) != 0;
}

int unusedLoopbackPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

} // namespace tcptest
