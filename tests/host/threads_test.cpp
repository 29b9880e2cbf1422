// Drivers used as a host uses them from several threads at once: each thread obtains its own
// driver from the loaded plug-in, runs its own Qt event loop between calls and talks to its own
// libmodbus peer. Meant above all for the ThreadSanitizer build (scripts/test.sh --tsan), which
// reports any state the drivers share without synchronisation; the values read back show that
// no thread gets another thread's answers.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>

#include <dlfcn.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "contract/CDriveBaseClass.h"
#include "tests/support/libmodbus_rtu_peer.h"
#include "tests/support/libmodbus_tcp_peer.h"
#include "tests/support/pty_pair.h"

using namespace vanetest;

namespace {

using Entry = CDriveBaseClass* (*)();

// Drivers live as long as the process: a host cannot free one.
std::vector<CDriveBaseClass*>& drivers = *new std::vector<CDriveBaseClass*>;
std::mutex driversMutex;

CDriveBaseClass* obtainDriver(const char* path)
{
    void* plugin = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    const auto entry = plugin ? reinterpret_cast<Entry>(dlsym(plugin, "getSharedLibrary")) : nullptr;
    if (!entry)
        return nullptr;
    CDriveBaseClass* driver = entry();
    std::lock_guard<std::mutex> lock(driversMutex);
    drivers.push_back(driver);
    return driver;
}

constexpr int kRounds = 40;

struct Job {
    const char* plugin;
    QString connection;
    int firstRegister; // each thread writes and reads back its own registers
    int completed = 0; // rounds whose values came back as written
    QString failure;
};

// One host thread: obtains a driver on this thread, connects, then writes a different value
// every round and reads it back, running the thread's events between calls.
void runHost(Job* job)
{
    CDriveBaseClass* driver = obtainDriver(job->plugin);
    if (!driver) {
        job->failure = QStringLiteral("cannot load %1").arg(QString::fromLatin1(job->plugin));
        return;
    }
    if (driver->ConnectDrive(job->connection) != 0) {
        job->failure = QStringLiteral("cannot connect ") + job->connection;
        return;
    }
    const QString address = QStringLiteral("4x%1").arg(job->firstRegister);
    for (int round = 0; round < kRounds; ++round) {
        const short first = short(job->firstRegister * 100 + round);
        CLabelVariable values;
        values.value = QVariant::fromValue(QList<short>{first, short(-first)});
        const CLabelVariable written = driver->WriteVariable(address, Int16, values, 2);
        QCoreApplication::processEvents();
        CLabelVariable read = driver->ReadVariable(address, Int16, 2);
        QCoreApplication::processEvents();
        if (written.status != 0 || read.status != 0 || read.atInt16(0) != first || read.atInt16(1) != -first) {
            job->failure = QStringLiteral("round %1: write status %2, read status %3").arg(round).arg(written.status).arg(read.status);
            break;
        }
        ++job->completed;
    }
    driver->DisConnectDrive();
    driver->DestroyFree();
}

// Runs every job on a QThread of its own, all at once, and waits for them.
void runTogether(std::vector<Job>& jobs)
{
    std::vector<std::unique_ptr<QThread>> threads;
    for (Job& job : jobs)
        threads.emplace_back(QThread::create(runHost, &job));
    for (auto& thread : threads)
        thread->start();
    for (auto& thread : threads)
        ASSERT_TRUE(thread->wait(120000));
    for (const Job& job : jobs) {
        EXPECT_TRUE(job.failure.isEmpty()) << job.connection.toStdString() << ": " << job.failure.toStdString();
        EXPECT_EQ(job.completed, kRounds) << job.connection.toStdString();
    }
}

QString tcpConnection(const LibmodbusTcpPeer& peer)
{
    return QStringLiteral("127.0.0.1:%1").arg(peer.port());
}

} // namespace

TEST(DriversOnThreads, TwoNetvanesAtOnce)
{
    LibmodbusTcpPeer first;
    LibmodbusTcpPeer second;
    ASSERT_TRUE(first.isListening() && second.isListening());
    std::vector<Job> jobs = {{NETVANE_PATH, tcpConnection(first), 10}, {NETVANE_PATH, tcpConnection(second), 20}};
    runTogether(jobs);
}

TEST(DriversOnThreads, NetvaneAndSerivaneAtOnce)
{
    LibmodbusTcpPeer tcp;
    PtyPair pty;
    ASSERT_TRUE(pty.isReady());
    LibmodbusRtuPeer rtu(pty.pathA(), 1);
    ASSERT_TRUE(tcp.isListening() && rtu.isOpen());
    std::vector<Job> jobs = {{NETVANE_PATH, tcpConnection(tcp), 10},
                             {SERIVANE_PATH, QString::fromStdString(pty.pathB()) + ",115200,8,1,N", 30}};
    runTogether(jobs);
}

// The build date is worked out on first use and shared by every driver of a plug-in: threads
// that ask for it first, at the same moment, all get the same text.
TEST(DriversOnThreads, BuildTimeFirstAskedFromManyThreads)
{
    constexpr int kThreads = 8;
    std::atomic<int> ready{0};
    std::vector<QString> answers(kThreads);
    std::vector<std::unique_ptr<QThread>> threads;
    for (int i = 0; i < kThreads; ++i) {
        const char* plugin = i % 2 ? SERIVANE_PATH : NETVANE_PATH;
        threads.emplace_back(QThread::create([&, i, plugin] {
            CDriveBaseClass* driver = obtainDriver(plugin);
            ++ready;
            while (ready.load() < kThreads)
                QThread::yieldCurrentThread();
            if (driver)
                answers[i] = driver->DebugCmd(BuildTime);
        }));
    }
    for (auto& thread : threads)
        thread->start();
    for (auto& thread : threads)
        ASSERT_TRUE(thread->wait(60000));
    for (int i = 0; i < kThreads; ++i) {
        EXPECT_TRUE(answers[i].startsWith(i % 2 ? QStringLiteral("v1.7.8 ") : QStringLiteral("v1.9.2.B ")))
            << answers[i].toStdString();
        EXPECT_EQ(answers[i], answers[i % 2]);
    }
}
