// libmodbus as the master: the C library a driver is measured against.
#include "client.h"

#include <modbus.h>

#include <cerrno>
#include <cstdio>

namespace sbs {

namespace {

class LibmodbusClient : public Client {
public:
    explicit LibmodbusClient(modbus_t* context) : context_(context) {}
    ~LibmodbusClient() override
    {
        modbus_close(context_);
        modbus_free(context_);
    }

    bool readHolding(int count) override { return modbus_read_registers(context_, 0, count, registers_) == count; }
    bool writeOne(uint16_t value) override { return modbus_write_register(context_, kWriteRegister, value) == 1; }

private:
    modbus_t* context_;
    uint16_t registers_[MODBUS_MAX_READ_REGISTERS];
};

} // namespace

std::unique_ptr<Client> makeLibmodbusClient(const Target& target)
{
    modbus_t* context = target.rtu ? modbus_new_rtu(target.device.c_str(), 115200, 'N', 8, 1)
                                   : modbus_new_tcp(target.host.c_str(), target.port);
    if (!context || modbus_set_slave(context, 1) < 0 || modbus_connect(context) < 0) {
        std::fprintf(stderr, "libmodbus client: cannot connect: %s\n", modbus_strerror(errno));
        if (context)
            modbus_free(context);
        return nullptr;
    }
    return std::make_unique<LibmodbusClient>(context);
}

} // namespace sbs
