#include "event_wait.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

namespace vanetest {

bool processEventsUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        // Leaves the second core to the peers' threads rather than spinning.
        QThread::msleep(2);
    }
    return done();
}

} // namespace vanetest
