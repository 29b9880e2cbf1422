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
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <utility>
#include <vector>

#include "contract/CDriveBaseClass.h"
#include "tests/support/libmodbus_rtu_peer.h"
#include "tests/support/libmodbus_tcp_peer.h"
#include "tests/support/pty_pair.h"

using namespace vanetest;

namespace {

using Entry = CDriveBaseClass* (*)();

// Drivers live as long as the process: a host cannot free one. So do the host threads (see below).
std::vector<CDriveBaseClass*>& drivers = *new std::vector<CDriveBaseClass*>;
std::vector<QThread*>& keptThreads = *new std::vector<QThread*>;
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
    Job(const char* plugin, QString connection, int firstRegister)
        : plugin(plugin), connection(std::move(connection)), firstRegister(firstRegister) {}

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

// Host threads: each piece of work runs on a QThread of its own. Qt's own mutexes work on futexes
// that ThreadSanitizer does not see, so QThread::wait alone orders nothing for it; the end of each
// piece of work is announced through a standard mutex as well, which orders what the thread wrote
// before what the test reads afterwards. The QThread objects are kept to the end of the process,
// like the drivers: a finished QThread's own wake-up still runs on its detached thread, and
// deleting the object would race with it as far as ThreadSanitizer can tell.
class HostThreads {
public:
    void run(std::function<void()> work)
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ++running_;
        }
        threads_.push_back(QThread::create([this, work = std::move(work)] {
            work();
            std::lock_guard<std::mutex> lock(mutex_);
            --running_;
            ended_.notify_all();
        }));
        threads_.back()->start();
    }

    // True when every piece of work has ended.
    bool finish()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        const bool ended = ended_.wait_for(lock, std::chrono::minutes(2), [this] { return running_ == 0; });
        lock.unlock();
        for (QThread* thread : threads_)
            thread->wait();
        keptThreads.insert(keptThreads.end(), threads_.begin(), threads_.end());
        threads_.clear();
        return ended;
    }

private:
    std::mutex mutex_;
    std::condition_variable ended_;
    int running_ = 0;
    std::vector<QThread*> threads_;
};

// Runs every job on a host thread of its own, all at once, and waits for them.
void runTogether(std::vector<Job>& jobs)
{
    // Qt registers a value list's type on first use, in a registry behind a lock of Qt's own that
    // ThreadSanitizer does not see either; the host registers the one list type the jobs use first.
    qRegisterMetaType<QList<short>>();
    HostThreads threads;
    for (Job& job : jobs)
        threads.run([&job] { runHost(&job); });
    ASSERT_TRUE(threads.finish());
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
    std::vector<Job> jobs;
    jobs.emplace_back(NETVANE_PATH, tcpConnection(first), 10);
    jobs.emplace_back(NETVANE_PATH, tcpConnection(second), 20);
    runTogether(jobs);
}

TEST(DriversOnThreads, NetvaneAndSerivaneAtOnce)
{
    LibmodbusTcpPeer tcp;
    PtyPair pty;
    ASSERT_TRUE(pty.isReady());
    LibmodbusRtuPeer rtu(pty.pathA(), 1);
    ASSERT_TRUE(tcp.isListening() && rtu.isOpen());
    std::vector<Job> jobs;
    jobs.emplace_back(NETVANE_PATH, tcpConnection(tcp), 10);
    jobs.emplace_back(SERIVANE_PATH, QString::fromStdString(pty.pathB()) + ",115200,8,1,N", 30);
    runTogether(jobs);
}

// The build date is worked out on first use and shared by every driver of a plug-in: threads
// that ask for it first, at the same moment, all get the same text.
TEST(DriversOnThreads, BuildTimeFirstAskedFromManyThreads)
{
    constexpr int kThreads = 8;
    std::atomic<int> ready{0};
    std::vector<QString> answers(kThreads);
    HostThreads threads;
    for (int i = 0; i < kThreads; ++i) {
        const char* plugin = i % 2 ? SERIVANE_PATH : NETVANE_PATH;
        threads.run([&, i, plugin] {
            CDriveBaseClass* driver = obtainDriver(plugin);
            ++ready;
            while (ready.load() < kThreads)
                QThread::yieldCurrentThread();
            if (driver)
                answers[i] = driver->DebugCmd(BuildTime);
        });
    }
    ASSERT_TRUE(threads.finish());
    for (int i = 0; i < kThreads; ++i) {
        EXPECT_TRUE(answers[i].startsWith(i % 2 ? QStringLiteral("v1.7.8 ") : QStringLiteral("v1.9.2.B ")))
            << answers[i].toStdString();
        EXPECT_EQ(answers[i], answers[i % 2]) << answers[i].toStdString() << " against " << answers[i % 2].toStdString();
    }
}
