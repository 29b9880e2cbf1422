#include "tcp_test_env.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QThread>

#include <gtest/gtest.h>
#include <poll.h>

#include <mutex>

namespace tcptest {

namespace {

// The link needs an application object for its sockets, timers and event loops.
class QtApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override { app = new QCoreApplication(argc, argv); }
    void TearDown() override
    {
        delete app;
        app = nullptr;
    }

private:
    int argc = 1;
    char name[16] = "tcp_tests";
    char* argv[2] = {name, nullptr};
    QCoreApplication* app = nullptr;
};

const ::testing::Environment* const qtEnvironment = ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

std::mutex logMutex;
QStringList capturedWarnings;
QStringList capturedDebug;
QtMessageHandler previousHandler = nullptr;

void capture(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    std::lock_guard<std::mutex> lock(logMutex);
    if (type == QtDebugMsg)
        capturedDebug << message;
    else if (type == QtWarningMsg)
        capturedWarnings << message;
}

} // namespace

LogCapture::LogCapture()
{
    clear();
    previousHandler = qInstallMessageHandler(capture);
}

LogCapture::~LogCapture() { qInstallMessageHandler(previousHandler); }

QStringList LogCapture::warnings() const
{
    std::lock_guard<std::mutex> lock(logMutex);
    return capturedWarnings;
}

QStringList LogCapture::debugLines() const
{
    std::lock_guard<std::mutex> lock(logMutex);
    return capturedDebug;
}

int LogCapture::total() const
{
    std::lock_guard<std::mutex> lock(logMutex);
    return capturedWarnings.size() + capturedDebug.size();
}

void LogCapture::clear()
{
    std::lock_guard<std::mutex> lock(logMutex);
    capturedWarnings.clear();
    capturedDebug.clear();
}

bool processEventsUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return done();
}

bool sleepUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs)
        QThread::msleep(2);
    return done();
}

bool descriptorReadable(qintptr descriptor)
{
    pollfd entry{static_cast<int>(descriptor), POLLIN, 0};
    return ::poll(&entry, 1, 0) > 0 && (entry.revents & POLLIN) != 0;
}

int unusedLoopbackPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

} // namespace tcptest
