#pragma once

// Modbus TCP on 127.0.0.1: accepts any number of clients and answers their requests one
// at a time from the shared map, whatever unit identifier they carry.

#include "tools/sim/serving_thread.h"

#include <cstdint>
#include <string>

typedef struct _modbus modbus_t;

namespace vanesim {

class FaultInjector;
class SimMap;

class TcpService
{
public:
    TcpService(SimMap &map, bool debug, FaultInjector *faults = nullptr);
    ~TcpService();

    // Binds 127.0.0.1:port (0 picks a free port) and starts serving; false with
    // *error set when the port cannot be had.
    bool start(uint16_t port, std::string *error);
    uint16_t port() const { return port_; }

private:
    void serve();

    SimMap &map_;
    FaultInjector *faults_;
    modbus_t *context_ = nullptr;
    int listenFd_ = -1;
    uint16_t port_ = 0;
    ServingThread thread_;
};

} // namespace vanesim
