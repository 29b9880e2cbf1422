#pragma once

// The simulated device's data: the four Modbus tables with their documented contents,
// the counters that move every second, and the lock that the serving threads and the
// ticking main thread share.

#include <cstdint>
#include <mutex>
#include <ostream>

typedef struct _modbus modbus_t;
struct _modbus_mapping_t;

namespace vanesim {

class SimMap
{
public:
    static constexpr int kTableSize = 1000; // offsets 0..999 in every area

    SimMap();
    ~SimMap();
    SimMap(const SimMap &) = delete;
    SimMap &operator=(const SimMap &) = delete;

    // Answers one received request from the tables (modbus_reply's result).
    int answer(modbus_t *context, const uint8_t *request, int length);
    // Moves the counters to `seconds` since start.
    void tick(int64_t seconds);

    // The documented map, as `--map` prints it.
    static void print(std::ostream &out);

private:
    std::mutex mutex_;
    _modbus_mapping_t *mapping_;
    int64_t lastHeartbeatSecond_ = 0;
};

} // namespace vanesim
