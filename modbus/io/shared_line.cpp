#include "shared_line.h"

#include <QHash>

#include <algorithm>
#include <chrono>

namespace vane::modbus {

namespace {

// The lines in use, by port name. The table lives as long as the process: drivers that outlive
// static destruction still find it.
struct LineTable {
    std::mutex mutex;
    QHash<QString, SharedLine*> lines;
};

LineTable& lineTable()
{
    static LineTable* table = new LineTable;
    return *table;
}

} // namespace

SharedLine* SharedLine::join(const QString& path, const Setup& setup)
{
    LineTable& table = lineTable();
    std::lock_guard<std::mutex> lock(table.mutex);
    SharedLine* line = table.lines.value(path);
    if (line && !(line->setup == setup))
        return nullptr;
    if (!line) {
        line = new SharedLine(path, setup);
        table.lines.insert(path, line);
    }
    ++line->users;
    return line;
}

void SharedLine::leave(SharedLine* line)
{
    if (!line)
        return;
    {
        LineTable& table = lineTable();
        std::lock_guard<std::mutex> lock(table.mutex);
        if (--line->users > 0)
            return;
        table.lines.remove(line->path);
    }
    delete line;
}

SharedLine::~SharedLine() { closeSerialDevice(fd); }

bool SharedLine::openDevice(QString* warning)
{
    if (fd >= 0)
        return true;
    QString reason;
    bool inUse = false;
    const int opened = openSerialDevice(path, &reason, &inUse);
    if (opened < 0) {
        if (inUse)
            *warning = reason;
        return false;
    }
    const bool configured = configureSerialDevice(opened, setup.settings, &reason);
    if (!configured && setup.settingsRequired) {
        *warning = QStringLiteral("settings refused (%1)").arg(reason);
    } else if (setup.rs485.enabled && !setRs485Mode(opened, setup.rs485, &reason)) {
        *warning = QStringLiteral("RS-485 mode refused (%1)").arg(reason);
    } else {
        fd = opened;
        return true;
    }
    closeSerialDevice(opened);
    return false;
}

void SharedLine::closeDeviceUnlessKept()
{
    if (keptBy > 0 || busy)
        return;
    closeSerialDevice(fd);
    fd = -1;
}

bool SharedLine::keepOpen(QString* warning)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (!openDevice(warning))
        return false;
    ++keptBy;
    return true;
}

void SharedLine::releaseKept()
{
    std::lock_guard<std::mutex> lock(mutex);
    keptBy = std::max(keptBy - 1, 0);
    closeDeviceUnlessKept();
}

bool SharedLine::take(int waitMs, QString* warning)
{
    using Clock = std::chrono::steady_clock;
    std::unique_lock<std::mutex> lock(mutex);
    // A free line is taken at once; the clock is read only by those who wait.
    Clock::time_point deadline;
    const bool waits = busy || !waiting.empty();
    if (waits) {
        deadline = Clock::now() + std::chrono::milliseconds(std::max(waitMs, 0));
        const quint64 ticket = ++lastTicket;
        waiting.append(ticket);
        const auto myTurn = [&] { return !busy && waiting.first() == ticket; };
        // Waits against the system clock, in slices, while the deadline stays on the steady one:
        // a C++ run time built for glibc waits on the steady clock with a call the panel's C
        // library does not have.
        bool turn = myTurn();
        while (!turn && Clock::now() < deadline) {
            const auto slice = std::min<Clock::duration>(deadline - Clock::now(), std::chrono::milliseconds(10));
            turnGiven.wait_until(lock, std::chrono::system_clock::now() + slice);
            turn = myTurn();
        }
        waiting.removeOne(ticket);
        if (!turn) {
            turnGiven.notify_all(); // the next in line may be free now
            *warning = QStringLiteral("the line stayed busy with other exchanges");
            return false;
        }
    }
    if (!openDevice(warning)) {
        turnGiven.notify_all();
        return false;
    }
    busy = true;
    lock.unlock();
    // The lock of the other processes is waited for within what is left of the wait.
    const long long lockWaitMs = waits
        ? std::max<long long>(
              std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count(), 0)
        : waitMs;
    if (lockSerialDevice(fd, static_cast<int>(lockWaitMs)))
        return true;
    *warning = QStringLiteral("another process held the line (its advisory lock) too long");
    lock.lock();
    busy = false;
    closeDeviceUnlessKept();
    turnGiven.notify_all();
    return false;
}

void SharedLine::give()
{
    unlockSerialDevice(fd);
    std::lock_guard<std::mutex> lock(mutex);
    busy = false;
    closeDeviceUnlessKept();
    turnGiven.notify_all();
}

} // namespace vane::modbus
