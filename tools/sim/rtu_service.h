#pragma once

// Modbus RTU on a pseudo-terminal the simulator creates: libmodbus serves the master side,
// the driver opens the slave side as its serial port (any baud rate, 8 data bits; a pty
// ignores parity and speed). The simulator keeps its own descriptor on the slave side, so
// the driver may open and close the port as often as it likes. With a fault injector, some
// answers come out wrong on purpose.
//
// The line may carry several stations, each answered from its own tables; requests to other
// stations are heard and left unanswered, broadcasts are carried out by every station and
// answered by none. The line options add an echoing adapter, a slow device and refused
// functions.

#include "tools/sim/line_options.h"
#include "tools/sim/serving_thread.h"

#include <string>

typedef struct _modbus modbus_t;

namespace vanesim {

class FaultInjector;
class LineMirror;
class StationTables;

class RtuService
{
public:
    // With a mirror, the line's traffic is copied to it as it passes.
    RtuService(StationTables &tables, const LineOptions &line, bool debug, FaultInjector *faults = nullptr,
               LineMirror *mirror = nullptr);
    ~RtuService();

    // Creates the pty (and the symlink `linkPath` to its slave side when not empty) and
    // starts serving; false with *error set on failure.
    bool start(const std::string &linkPath, std::string *error);
    // The path the driver opens: the symlink when one was asked for, else /dev/pts/N.
    const std::string &devicePath() const { return devicePath_; }

private:
    void serve();
    void handle(const uint8_t *request, int length);
    // Waits the answer delay; false when the device is stopping.
    bool delayAnswer();

    StationTables &tables_;
    FaultInjector *faults_;
    LineMirror *mirror_;
    LineOptions line_;
    bool debug_;
    modbus_t *context_ = nullptr;
    int master_ = -1;
    int slave_ = -1;
    std::string linkPath_;
    std::string devicePath_;
    ServingThread thread_;
};

} // namespace vanesim
