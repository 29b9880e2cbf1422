#pragma once

// A serial line as all the drivers of this plug-in that name its port see it: one per port name,
// made by its first driver and gone with its last, one exchange at a time in the order they come.
// Drivers that keep the port open share one descriptor, opened by the first of them and closed
// with the last; drivers that open it per exchange open it in their turn. Around every exchange
// the device carries an advisory lock, so that drivers in other processes (another plug-in, a
// commissioning tool) take turns on the line too.

#include <QString>
#include <QVector>

#include <condition_variable>
#include <mutex>

#include "serial_device.h"
#include "serial_line.h"

namespace vane::modbus {

class SharedLine {
public:
    // What the line is opened with: the first driver's, for as long as the line lives.
    struct Setup {
        LineSettings settings;
        bool echo = false;
        Rs485Mode rs485;
        // The device must take the settings, or it does not open; otherwise it opens anyway.
        bool settingsRequired = true;

        bool operator==(const Setup& o) const
        {
            return settings == o.settings && echo == o.echo && rs485 == o.rs485;
        }
    };

    // The line of `path` for one more driver, made with `setup` when no driver uses it yet; null
    // when the line is in use with another setup. Each join is ended by one `leave`, and the last
    // one ends the line. (Counted by hand: the C++ run time's shared pointers count through a
    // variable of glibc's that the panel's C library does not have.)
    static SharedLine* join(const QString& path, const Setup& setup);
    static void leave(SharedLine* line);

    SharedLine(const QString& path, const Setup& setup) : path(path), setup(setup) {}
    ~SharedLine();
    SharedLine(const SharedLine&) = delete;
    SharedLine& operator=(const SharedLine&) = delete;

    const QString path;
    const Setup setup;

    // A driver that keeps the port open: the first opens the device. False when it cannot, with
    // the reason in *warning when it is worth one: the device held by another program, settings
    // or an RS-485 mode it refuses. `releaseKept` gives the use back; the last one closes it.
    bool keepOpen(QString* warning);
    void releaseKept();

    // The turn on the line for one exchange, waiting up to `waitMs` for the exchanges before it.
    // In its turn the device is open and locked against other processes; the descriptor is then
    // valid until the turn is given back. False when the line stayed busy (another process held
    // its lock) or the device could not be opened, with the reason in *warning as above.
    bool take(int waitMs, QString* warning);
    void give();
    int descriptor() const { return fd; }

    // The line's own quiet-line bookkeeping, shared by every driver on it; used in a turn.
    LineDiscipline discipline;

private:
    std::mutex mutex;
    std::condition_variable turnGiven;
    QVector<quint64> waiting; // tickets of the exchanges waiting, in arrival order
    quint64 lastTicket = 0;
    bool busy = false;
    int fd = -1;
    int keptBy = 0;
    int users = 0; // drivers that joined, counted under the table's lock

    bool openDevice(QString* warning);
    void closeDeviceUnlessKept();
};

// A turn on a line for the scope of one exchange.
class LineTurn {
public:
    LineTurn(SharedLine& line, int waitMs, QString* warning) : line(line), taken(line.take(waitMs, warning)) {}
    ~LineTurn()
    {
        if (taken)
            line.give();
    }
    LineTurn(const LineTurn&) = delete;
    LineTurn& operator=(const LineTurn&) = delete;
    explicit operator bool() const { return taken; }

private:
    SharedLine& line;
    const bool taken;
};

} // namespace vane::modbus
