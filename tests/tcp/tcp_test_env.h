#pragma once

// What the Modbus TCP link tests share: a QCoreApplication for the whole run, a capture of
// Qt's message log, and waits that keep the calling thread's events running.

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <functional>

namespace tcptest {

// Everything written to Qt's message log while an instance lives, by kind.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    QStringList warnings() const;
    QStringList debugLines() const;
    int total() const;
    void clear();
};

// Runs the thread's events (as a host does between its calls) until `done` holds or the time
// is up; returns `done()`.
bool processEventsUntil(const std::function<bool()>& done, int timeoutMs = 3000);

// Waits without running events, so whatever arrives stays below Qt; returns `done()`.
bool sleepUntil(const std::function<bool()>& done, int timeoutMs = 3000);

// True when the descriptor has input waiting in the system.
bool descriptorReadable(qintptr descriptor);

// A loopback port on which nothing listens (bound once, then released).
int unusedLoopbackPort();

} // namespace tcptest
