#pragma once

// A serial device on its system descriptor: opened without Qt, so that every driver of a line,
// on whatever thread, can run its exchanges on the one descriptor, and nothing reads the line
// between exchanges behind their back.

#include <QSerialPort>
#include <QString>


struct serial_rs485;

namespace vane::modbus {

// The character format and rate of a line, as the link's port object holds them.
struct LineSettings {
    int baudRate = 9600;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;

    static LineSettings of(const QSerialPort& port);
    bool operator==(const LineSettings& o) const
    {
        return baudRate == o.baudRate && dataBits == o.dataBits && parity == o.parity && stopBits == o.stopBits;
    }
};

// The kernel's RS-485 mode: the transceiver switched by RTS around every frame sent.
struct Rs485Mode {
    bool enabled = false;
    bool rtsLowOnSend = false; // RTS low while sending, high afterwards (inverse transceivers)
    int delayBeforeMs = 0;     // RTS set this long before the first bit
    int delayAfterMs = 0;      // and kept this long after the last one
    bool operator==(const Rs485Mode& o) const
    {
        return enabled == o.enabled && rtsLowOnSend == o.rtsLowOnSend && delayBeforeMs == o.delayBeforeMs
            && delayAfterMs == o.delayAfterMs;
    }
};

// Opens `path` read-write, non-blocking, as no controlling terminal. -1 with the system's reason
// in *error when it cannot be opened; *inUse then tells whether another program holds the device
// for itself (a port that is missing or forbidden is the host's to find out, as always).
int openSerialDevice(const QString& path, QString* error, bool* inUse);

// Raw mode at `settings`, no flow control, reads that never block. False with the reason when the
// device refuses them (the system has no 1.5 stop bits, a rate it does not know).
bool configureSerialDevice(int fd, const LineSettings& settings, QString* error);

// Switches the kernel's RS-485 mode on as `mode` asks. False with the system's reason when the
// device's driver refuses it (a pty, a UART without a transceiver line).
bool setRs485Mode(int fd, const Rs485Mode& mode, QString* error);

// The request the RS-485 mode is set with; tests put their own in to see what is asked for.
using Rs485Request = int (*)(int fd, serial_rs485* request);
extern Rs485Request rs485Request;

// Takes the advisory lock on the device that the drivers of all processes take around their
// exchanges, waiting up to `waitMs` for it. False when it stayed taken.
bool lockSerialDevice(int fd, int waitMs);
void unlockSerialDevice(int fd);

void closeSerialDevice(int fd);

} // namespace vane::modbus
