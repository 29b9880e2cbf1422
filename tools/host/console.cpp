#include "console.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>

namespace vane::host {

namespace {
bool stdoutFailed = false;
}

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

} // namespace vane::host
