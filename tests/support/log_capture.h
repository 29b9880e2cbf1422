#pragma once

// Collects what goes to Qt's message log while it lives, so that tests can compare log lines
// exactly. Each line also carries what an optional probe reported at the moment it was written
// (for example how many requests a device had seen), so tests can tell when a line was written.

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <functional>
#include <mutex>
#include <vector>

namespace vanetest {

struct LogLine {
    QtMsgType type;
    QString text;
    long long probe;
};

class LogCapture {
public:
    explicit LogCapture(std::function<long long()> probe = {});
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<LogLine> lines() const;
    QStringList texts(QtMsgType type) const;
    QStringList warnings() const { return texts(QtWarningMsg); }
    QStringList debugLines() const { return texts(QtDebugMsg); }
    // Warnings and debug lines together.
    int total() const;
    void clear();

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& text);

    std::function<long long()> probe_;
    mutable std::mutex mutex_;
    std::vector<LogLine> lines_;
    QtMessageHandler previous_ = nullptr;
    LogCapture* previousActive_ = nullptr;
};

} // namespace vanetest
