#include "driver_log.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "driver_glossary.h"
#include "modbus_exception.h"

namespace vane::host {

namespace {

std::atomic<bool> debugShown{false};
std::atomic<int> linesWritten{0};
std::atomic<bool> noAnswerHidden{false};
// The drivers run on the thread that calls them, which is the only thread of this program.
int lastException = -1;

// Answer dumps: the read and write answer lines and the function-code warning end with
// "msg : <hex>". The TCP driver's lines carry its prefix; the RTU write lines carry none.
void noteAnswer(const QString& message)
{
    static const QString answer = QString::fromUtf8("响应");
    static const QString wrongFunction = QString::fromUtf8("返回的功能码错误");
    static const QString dumpMark = QStringLiteral("msg : ");
    const int dumpAt = message.lastIndexOf(dumpMark);
    if (dumpAt < 0 || (!message.contains(answer) && !message.contains(wrongFunction)))
        return;
    const Framing framing = message.startsWith(QLatin1String("lib[ModbusTCP]")) ? Framing::Tcp : Framing::Rtu;
    const int code = exceptionCodeOfAnswer(message.mid(dumpAt + dumpMark.size()).trimmed().toLatin1(), framing);
    if (code >= 0)
        lastException = code;
}

void writeLogLine(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    noteAnswer(message);
    const bool isDebug = type == QtDebugMsg || type == QtInfoMsg;
    if (isDebug && !debugShown)
        return;
    if (noAnswerHidden && !debugShown && message.contains(QString::fromUtf8("返回的报文长度为0")))
        return;
    QByteArray line = (isDebug ? "[driver] " : "[driver warning] ") + message.toUtf8();
    const QString meaning = isDebug ? QString() : driverLineMeaning(message);
    if (!meaning.isEmpty())
        line += "  -- " + meaning.toUtf8();
    line += '\n';
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

void hideNoAnswerWarnings() { noAnswerHidden = true; }

void forgetLastAnswer() { lastException = -1; }

int lastAnswerException() { return lastException; }

} // namespace vane::host
