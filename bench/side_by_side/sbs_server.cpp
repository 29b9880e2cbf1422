// The peer of the side-by-side run: a plain libmodbus server, one process, one connection at a
// time, answering from 300 holding registers. Kept outside the clients' processes so that
// instruction and system-call counts of a client contain nothing of the server.
//
//   sbs_server tcp              listens on 127.0.0.1 at a port the kernel picks, prints "port N"
//   sbs_server rtu PATH BAUD    serves station 1 on the serial device PATH, prints "ready"
#include <modbus.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kRegisters = 300;

modbus_mapping_t* makeMap()
{
    modbus_mapping_t* map = modbus_mapping_new(0, 0, kRegisters, 0);
    for (int i = 0; map && i < kRegisters; ++i)
        map->tab_registers[i] = static_cast<uint16_t>(0x0100 + i);
    return map;
}

// Answers requests until the client goes away (receive fails on a closed connection).
void serveConnection(modbus_t* context, modbus_mapping_t* map)
{
    uint8_t request[MODBUS_MAX_ADU_LENGTH];
    for (;;) {
        const int length = modbus_receive(context, request);
        if (length > 0)
            modbus_reply(context, request, length, map);
        else if (length < 0)
            return;
    }
}

int serveTcp(modbus_mapping_t* map)
{
    modbus_t* context = modbus_new_tcp("127.0.0.1", 0);
    int listenFd = context ? modbus_tcp_listen(context, 1) : -1;
    if (listenFd < 0) {
        std::fprintf(stderr, "sbs_server: cannot listen: %s\n", modbus_strerror(errno));
        return 1;
    }
    sockaddr_in address{};
    socklen_t length = sizeof address;
    getsockname(listenFd, reinterpret_cast<sockaddr*>(&address), &length);
    std::printf("port %d\n", ntohs(address.sin_port));
    std::fflush(stdout);
    for (;;) {
        if (modbus_tcp_accept(context, &listenFd) < 0)
            continue;
        serveConnection(context, map);
        modbus_close(context);
    }
}

int serveRtu(modbus_mapping_t* map, const char* path, int baud)
{
    modbus_t* context = modbus_new_rtu(path, baud, 'N', 8, 1);
    if (!context || modbus_set_slave(context, 1) < 0 || modbus_connect(context) < 0) {
        std::fprintf(stderr, "sbs_server: cannot open %s: %s\n", path, modbus_strerror(errno));
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    // A client closing its end of the line shows here as a failed receive: keep serving the next
    // one, pausing so that a line in error does not spin.
    for (;;) {
        serveConnection(context, map);
        usleep(1000);
    }
}

} // namespace

int main(int argc, char** argv)
{
    modbus_mapping_t* map = makeMap();
    if (!map)
        return 1;
    if (argc == 2 && std::strcmp(argv[1], "tcp") == 0)
        return serveTcp(map);
    if (argc == 4 && std::strcmp(argv[1], "rtu") == 0)
        return serveRtu(map, argv[2], std::atoi(argv[3]));
    std::fprintf(stderr, "usage: sbs_server tcp | sbs_server rtu PATH BAUD\n");
    return 2;
}
