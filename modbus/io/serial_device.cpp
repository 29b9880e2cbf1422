#include "serial_device.h"

#include "termios_codes.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QThread>

#include <cerrno>
#include <cstring>

namespace vane::modbus {

namespace {

// How often a busy device lock is looked at again: short against an exchange, long against a syscall.
constexpr unsigned long kLockRetryUs = 500;

QString systemError(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

int kernelRs485Request(int fd, serial_rs485* request) { return ::ioctl(fd, TIOCSRS485, request); }

} // namespace

Rs485Request rs485Request = kernelRs485Request;

LineSettings LineSettings::of(const QSerialPort& port)
{
    LineSettings settings;
    settings.baudRate = port.baudRate();
    settings.dataBits = port.dataBits();
    settings.parity = port.parity();
    settings.stopBits = port.stopBits();
    return settings;
}

int openSerialDevice(const QString& path, QString* error, bool* inUse)
{
    int fd;
    do
        fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        *inUse = errno == EBUSY;
        *error = *inUse ? QStringLiteral("held by another program (%1)").arg(systemError(errno)) : systemError(errno);
    }
    return fd;
}

bool configureSerialDevice(int fd, const LineSettings& settings, QString* error)
{
    const speed_t speed = termiosSpeed(settings.baudRate);
    // The system has no 1.5 stop bits: the line gets one, as the port objects have always given it.
    if (speed == B0
        || (settings.parity != QSerialPort::NoParity && settings.parity != QSerialPort::EvenParity
            && settings.parity != QSerialPort::OddParity)) {
        *error = QStringLiteral("settings the system does not offer");
        return false;
    }
    termios mode{};
    if (::tcgetattr(fd, &mode) != 0) {
        *error = systemError(errno);
        return false;
    }
    ::cfmakeraw(&mode);
    mode.c_cflag &= ~(CSIZE | CSTOPB | PARENB | PARODD | CRTSCTS);
    mode.c_cflag |= CLOCAL | CREAD | termiosCharacterSize(settings.dataBits);
    if (settings.stopBits == QSerialPort::TwoStop)
        mode.c_cflag |= CSTOPB;
    if (settings.parity != QSerialPort::NoParity)
        mode.c_cflag |= PARENB | (settings.parity == QSerialPort::OddParity ? PARODD : 0);
    mode.c_iflag &= ~(IXON | IXOFF | IXANY);
    mode.c_iflag |= settings.parity != QSerialPort::NoParity ? INPCK : 0;
    mode.c_cc[VMIN] = 0;
    mode.c_cc[VTIME] = 0;
    ::cfsetispeed(&mode, speed);
    ::cfsetospeed(&mode, speed);
    if (::tcsetattr(fd, TCSANOW, &mode) == 0)
        return true;
    const int error0 = errno;
    // A pseudo-terminal takes the settings but keeps no character size or parity, which the C
    // library may then report as refused; a device that runs at the rate asked for took them.
    termios taken{};
    if (error0 == EINVAL && ::tcgetattr(fd, &taken) == 0 && ::cfgetospeed(&taken) == speed)
        return true;
    *error = systemError(error0);
    return false;
}

bool setRs485Mode(int fd, const Rs485Mode& mode, QString* error)
{
    serial_rs485 request{};
    request.flags = SER_RS485_ENABLED | (mode.rtsLowOnSend ? SER_RS485_RTS_AFTER_SEND : SER_RS485_RTS_ON_SEND);
    request.delay_rts_before_send = static_cast<__u32>(mode.delayBeforeMs);
    request.delay_rts_after_send = static_cast<__u32>(mode.delayAfterMs);
    if (rs485Request(fd, &request) == 0)
        return true;
    *error = systemError(errno);
    return false;
}

namespace {

// A process that waits for the device lock says so with a record lock on the device's first byte:
// a process that could take the lock back at once after each exchange would otherwise keep it,
// since the waiter only looks again after a pause.
void markWaiting(int fd, bool waiting)
{
    struct flock mark {};
    mark.l_type = waiting ? F_RDLCK : F_UNLCK;
    mark.l_whence = SEEK_SET;
    mark.l_start = 0;
    mark.l_len = 1;
    ::fcntl(fd, F_SETLK, &mark);
}

bool othersWaiting(int fd)
{
    struct flock probe {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    probe.l_start = 0;
    probe.l_len = 1;
    return ::fcntl(fd, F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
}

} // namespace

bool lockSerialDevice(int fd, int waitMs)
{
    // Another process waiting for the line gets its turn first.
    if (othersWaiting(fd))
        QThread::usleep(2 * kLockRetryUs);
    QElapsedTimer clock;
    bool taken = false;
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 || (errno != EWOULDBLOCK && errno != EINTR)) {
            taken = true; // a device that knows no locks leaves the turns to the processes
            break;
        }
        if (!clock.isValid()) {
            clock.start();
            markWaiting(fd, true);
        } else if (clock.elapsed() >= waitMs) {
            break;
        }
        QThread::usleep(kLockRetryUs);
    }
    if (clock.isValid())
        markWaiting(fd, false);
    return taken;
}

void unlockSerialDevice(int fd) { ::flock(fd, LOCK_UN); }

void closeSerialDevice(int fd)
{
    if (fd < 0)
        return;
    ::tcflush(fd, TCIOFLUSH);
    ::close(fd);
}

} // namespace vane::modbus
