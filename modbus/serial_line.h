#pragma once

#include <QElapsedTimer>
#include <QString>

class QSerialPort;

namespace vane::modbus {

// Line settings of a serial connect: baud rates 1200 to 115200, data bits 5 to 8, stop bits
// 1 (one), 2 (two), 3 (one and a half); parity by the letters N, E, O found in the text, tested in
// that order without regard to case. Values outside these leave the port's setting as it was.
// Returns true when the baud rate was one of the known rates.
bool applyLineSettings(QSerialPort& port, int baudRate, int dataBits, int stopBits, const QString& parity);

// Wire time of one character (start bit, data bits, parity bit, stop bits) at the port's settings, in microseconds.
int characterTimeUs(const QSerialPort& port);

// Frame gap in ms: never shorter than 3.5 character times at the configured rate.
int frameGapMs(const QSerialPort& port, int configuredGapMs);

// Wire time of `bytes` characters, in ms, rounded up.
int wireTimeMs(const QSerialPort& port, int bytes);

// The Modbus inter-frame silence: a request is written no sooner than 3.5 character times
// (1.75 ms above 19200 baud) after the last byte of the previous answer.
class InterFrameSilence {
public:
    void lineWentQuiet() { sinceLastByte.start(); }
    void waitBeforeWriting(const QSerialPort& port);

private:
    QElapsedTimer sinceLastByte;
};

} // namespace vane::modbus
