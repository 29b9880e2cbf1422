#include "driver_log.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace vane::host {

namespace {

std::atomic<bool> debugShown{false};
std::atomic<int> linesWritten{0};

void writeLogLine(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    const bool isDebug = type == QtDebugMsg || type == QtInfoMsg;
    if (isDebug && !debugShown)
        return;
    const char* prefix = isDebug ? "[driver] " : "[driver warning] ";
    const QByteArray line = prefix + message.toUtf8() + '\n';
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
    std::fflush(stderr);
    ++linesWritten;
    if (type == QtFatalMsg)
        std::abort();
}

} // namespace

void installDriverLog(bool showDebug)
{
    debugShown = showDebug;
    qInstallMessageHandler(writeLogLine);
}

int driverLogLineCount() { return linesWritten; }

} // namespace vane::host
