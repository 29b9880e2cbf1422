#include "interrupt.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <csignal>

namespace vane::host {

namespace {

volatile std::sig_atomic_t interruptFlag = 0;

void onInterrupt(int) { interruptFlag = 1; }

// A signal does not end a running event loop, so waits are cut into slices that check the flag.
constexpr int interruptCheckMs = 50;

} // namespace

void catchInterrupt()
{
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool interrupted() { return interruptFlag != 0; }

void serveEventsFor(int milliseconds)
{
    QDeadlineTimer deadline(milliseconds);
    do {
        QEventLoop loop;
        const int slice = static_cast<int>(std::min<qint64>(deadline.remainingTime(), interruptCheckMs));
        QTimer::singleShot(std::max(slice, 0), &loop, &QEventLoop::quit);
        loop.exec();
    } while (!deadline.hasExpired() && !interrupted());
}

} // namespace vane::host
