#include "listen_port.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include "modbus/io/termios_codes.h"

namespace vane::monitor {


int silenceUs(const modbus::SerialParameters& settings)
{
    if (settings.baudRate > 19200)
        return 1750;
    const int bits = 1 + settings.dataBits + (settings.parity == QLatin1String("N") ? 0 : 1) + settings.stopBits;
    return settings.baudRate > 0 ? static_cast<int>(3500000LL * bits / settings.baudRate) : 0;
}

ListenPort::~ListenPort()
{
    if (fd >= 0)
        ::close(fd);
}

bool ListenPort::open(const modbus::SerialParameters& settings, QString* error)
{
    const QString& port = settings.portField;
    const QByteArray path = port.toLocal8Bit();
    fd = ::open(path.constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *error = QStringLiteral("cannot open %1 to listen: %2").arg(port, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    termios line{};
    if (tcgetattr(fd, &line) != 0) {
        *error = QStringLiteral("%1 is no serial port: %2").arg(port, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    cfmakeraw(&line);
    line.c_cflag &= ~(CSIZE | CSTOPB | PARENB | PARODD | HUPCL | CRTSCTS);
    line.c_cflag |= CLOCAL | CREAD | modbus::termiosCharacterSize(settings.dataBits);
    if (settings.stopBits == 2)
        line.c_cflag |= CSTOPB;
    if (settings.parity != QLatin1String("N"))
        line.c_cflag |= PARENB | (settings.parity == QLatin1String("O") ? PARODD : 0);
    line.c_cc[VMIN] = 0;
    line.c_cc[VTIME] = 0;
    cfsetispeed(&line, modbus::termiosSpeed(settings.baudRate));
    cfsetospeed(&line, modbus::termiosSpeed(settings.baudRate));
    if (tcsetattr(fd, TCSANOW, &line) != 0) {
        *error = QStringLiteral("cannot set %1 to %2 baud: %3")
                     .arg(port).arg(settings.baudRate).arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    // What waited in the buffer was heard before the monitor started.
    tcflush(fd, TCIFLUSH);
    return true;
}

} // namespace vane::monitor
