#pragma once

// One kind of Modbus master in the side-by-side run. Every kind does the same three operations
// against the same server: read holding registers from 0, write one holding register at 200.
#include <cstdint>
#include <memory>
#include <string>

namespace sbs {

constexpr int kWriteRegister = 200;

// Where the server is: host and port for Modbus TCP, or the serial device for Modbus RTU
// (station 1, 115200 baud, 8N1).
struct Target {
    bool rtu = false;
    std::string host;
    int port = 0;
    std::string device;
};

class Client {
public:
    virtual ~Client() = default;
    // True when the answer came and was the expected one.
    virtual bool readHolding(int count) = 0;
    virtual bool writeOne(uint16_t value) = 0;
};

// Each returns nothing (and says why on stderr) when it cannot connect.
// Hand-built frames over blocking system calls; with `stamp`, one local-time timestamp per
// transaction. With `confirmQuiet` (Modbus RTU), each answer counts only after the line has then
// been quiet for t3.5 (1.75 ms at 115200 baud), as an exact master confirms a frame's end.
std::unique_ptr<Client> makeRawClient(const Target& target, bool stamp, bool confirmQuiet = false);
std::unique_ptr<Client> makeLibmodbusClient(const Target& target);
// A driver plug-in loaded and driven as a panel runtime does it.
std::unique_ptr<Client> makePluginClient(const std::string& file, const Target& target);

} // namespace sbs
