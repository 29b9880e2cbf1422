#pragma once

// A real Modbus RTU server (libmodbus) on a serial device path, normally one end of a
// PtyPair or SlowPtyRelay, answering as one station from its PeerMap in a background
// thread. Requests for other stations are ignored and not counted; the next request to
// this station is answered again (a frame within the short response timeout after the
// foreign request counts as the other station's answer and is dropped).
//
// For answers from a wrong address, use the FakeDevice.

#include "tests/support/peer_map.h"
#include "tests/support/posix_util.h"

#include <atomic>
#include <string>
#include <thread>

namespace vanetest {

class LibmodbusRtuPeer : public PeerMap
{
public:
    LibmodbusRtuPeer(const std::string &devicePath, int station, int baud = 9600,
                     const PeerMapSizes &sizes = PeerMapSizes());
    ~LibmodbusRtuPeer() override;

    bool isOpen() const { return open_; }
    int station() const { return station_; }

private:
    void serve();

    modbus_t *context_ = nullptr;
    int station_;
    bool open_ = false;
    WakeFd wake_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

} // namespace vanetest
