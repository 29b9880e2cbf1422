// The program's terminal: its output streams, and Ctrl-C.
#include "console.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>

namespace vane::host {

namespace {

bool stdoutFailed = false;
volatile std::sig_atomic_t interruptFlag = 0;

void onInterrupt(int) { interruptFlag = 1; }

// A signal does not end a running event loop, so waits are cut into slices that check the flag.
constexpr int interruptCheckMs = 50;

} // namespace

void printText(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        stdoutFailed = true;
}

bool outputClosed() { return stdoutFailed; }

void printLine(const QString& line) { printText(line + QLatin1Char('\n')); }

void printError(const QString& message)
{
    const QByteArray bytes = QStringLiteral("vane-host: %1\n").arg(message).toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
    std::fflush(stderr);
}

bool stdoutIsTerminal() { return isatty(STDOUT_FILENO) == 1; }

int terminalColumns()
{
    winsize size{};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0)
        return 0;
    return size.ws_col;
}

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
