#include "log_capture.h"

#include <atomic>

namespace vanetest {

namespace {
std::atomic<LogCapture*> active{nullptr};
}

LogCapture::LogCapture(std::function<long long()> probe) : probe_(std::move(probe))
{
    previousActive_ = active.exchange(this);
    previous_ = qInstallMessageHandler(&LogCapture::handle);
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(previous_);
    active = previousActive_;
}

void LogCapture::handle(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    LogCapture* capture = active;
    if (!capture)
        return;
    const long long probed = capture->probe_ ? capture->probe_() : 0;
    std::lock_guard<std::mutex> lock(capture->mutex_);
    capture->lines_.push_back({type, text, probed});
}

std::vector<LogLine> LogCapture::lines() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
}

QStringList LogCapture::texts(QtMsgType type) const
{
    QStringList result;
    for (const LogLine& line : lines())
        if (line.type == type)
            result << line.text;
    return result;
}

int LogCapture::total() const
{
    int count = 0;
    for (const LogLine& line : lines())
        if (line.type == QtWarningMsg || line.type == QtDebugMsg)
            ++count;
    return count;
}

void LogCapture::clear()
{
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.clear();
}

} // namespace vanetest
