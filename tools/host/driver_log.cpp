// The drivers' log lines on stderr, glossed in English, and the exception codes in the answers
// they dump.
#include "driver_log.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "modbus/protocol/log_texts.h"
#include "record_report.h"

namespace vane::host {

namespace {

struct Gloss {
    const char* text; // UTF-8, as the drivers write it
    const char* meaning;
};

// Longer texts first where one contains another ("写响应" before "响应").
const Gloss glossary[] = {
    {logtext::kNoAnswer, "no answer (0 bytes came back)"},
    {logtext::kWrongFunction, "answer with another function code: usually a Modbus exception answer"},
    {logtext::kWrongLength, "answer of the wrong length"},
    {logtext::kWrongTransaction, "answer with the wrong transaction identifier, or no Modbus answer (protocol identifier not 0)"},
    {logtext::kBadCrc, "answer with a wrong CRC"},
    {logtext::kWrongStation, "answer from another station (device address)"},
    {logtext::kSocketState, "socket state error: the connection broke"},
    {logtext::kBadAddress, "bad IP address: not a numeric address"},
    {logtext::kOpenFailed, "the serial port could not be opened"},
    {logtext::kReadRequest, "read request"},
    {logtext::kReadAnswer, "read answer"},
    {logtext::kWriteRequest, "write request"},
    {logtext::kWriteAnswer, "write answer"},
    {logtext::kRtuWriteAnswer, "write answer"},
};

std::atomic<bool> debugShown{false};
std::atomic<int> linesWritten{0};
std::atomic<bool> noAnswerHidden{false};
// The drivers run on the thread that calls them, which is the only thread of this program.
int lastException = -1;

// A short English meaning of a driver log line; empty for lines that are not the drivers' own.
QString driverLineMeaning(const QString& line)
{
    for (const Gloss& gloss : glossary) {
        if (line.contains(QString::fromUtf8(gloss.text)))
            return QLatin1String(gloss.meaning);
    }
    // The RTU link's disconnect notice has no text of its own: "lib[ModbusRTU]<address>:<port> ID=<n>".
    if (line.startsWith(QLatin1String(logtext::kRtuPrefix)) && line.contains(QLatin1String(" ID=")))
        return QStringLiteral("the socket connection ended");
    return QString();
}

// Answer dumps: the read and write answer lines and the function-code warning end with the frame
// after the frame mark. Every answer text holds the RTU write answer's text. The TCP driver's
// lines carry its prefix; the RTU write lines carry none.
void noteAnswer(const QString& message)
{
    static const QString answer = QString::fromUtf8(logtext::kRtuWriteAnswer);
    static const QString wrongFunction = QString::fromUtf8(logtext::kWrongFunction);
    static const QString dumpMark = QString::fromUtf8(logtext::kFrameMark);
    const int dumpAt = message.lastIndexOf(dumpMark);
    if (dumpAt < 0 || (!message.contains(answer) && !message.contains(wrongFunction)))
        return;
    const Framing framing = message.startsWith(QLatin1String(logtext::kTcpPrefix)) ? Framing::Tcp : Framing::Rtu;
    const int code = exceptionCodeOfAnswer(message.mid(dumpAt + dumpMark.size()).trimmed().toLatin1(), framing);
    if (code >= 0)
        lastException = code;
}

void writeLogLine(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    static const QString noAnswer = QString::fromUtf8(logtext::kNoAnswer);
    noteAnswer(message);
    const bool isDebug = type == QtDebugMsg || type == QtInfoMsg;
    if (isDebug && !debugShown)
        return;
    if (noAnswerHidden && !debugShown && message.contains(noAnswer))
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
