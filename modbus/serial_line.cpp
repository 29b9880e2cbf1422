#include "serial_line.h"

#include <QSerialPort>
#include <QThread>

#include <algorithm>

namespace vane::modbus {

bool applyLineSettings(QSerialPort& port, int baudRate, int dataBits, int stopBits, const QString& parity)
{
    static const int knownRates[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
    const bool knownRate = std::find(std::begin(knownRates), std::end(knownRates), baudRate) != std::end(knownRates);
    if (knownRate)
        port.setBaudRate(baudRate, QSerialPort::AllDirections);

    switch (dataBits) {
    case 5: port.setDataBits(QSerialPort::Data5); break;
    case 6: port.setDataBits(QSerialPort::Data6); break;
    case 7: port.setDataBits(QSerialPort::Data7); break;
    case 8: port.setDataBits(QSerialPort::Data8); break;
    default: break;
    }
    switch (stopBits) {
    case 1: port.setStopBits(QSerialPort::OneStop); break;
    case 2: port.setStopBits(QSerialPort::TwoStop); break;
    case 3: port.setStopBits(QSerialPort::OneAndHalfStop); break;
    default: break;
    }
    if (parity.contains(QLatin1Char('N'), Qt::CaseInsensitive))
        port.setParity(QSerialPort::NoParity);
    else if (parity.contains(QLatin1Char('E'), Qt::CaseInsensitive))
        port.setParity(QSerialPort::EvenParity);
    else if (parity.contains(QLatin1Char('O'), Qt::CaseInsensitive))
        port.setParity(QSerialPort::OddParity);
    port.setFlowControl(QSerialPort::NoFlowControl);
    return knownRate;
}

int characterTimeUs(const QSerialPort& port)
{
    const int baud = std::max(port.baudRate(), 1);
    const int dataBits = port.dataBits() > 0 ? static_cast<int>(port.dataBits()) : 8;
    const int parityBits = port.parity() == QSerialPort::NoParity ? 0 : 1;
    const int stopBits = port.stopBits() == QSerialPort::OneStop ? 1 : 2;
    const qint64 bits = 1 + dataBits + parityBits + stopBits;
    return static_cast<int>((bits * 1000000 + baud - 1) / baud);
}

int frameGapMs(const QSerialPort& port, int configuredGapMs)
{
    const int threeAndHalfUs = characterTimeUs(port) * 7 / 2;
    return std::max(configuredGapMs, (threeAndHalfUs + 999) / 1000);
}

int wireTimeMs(const QSerialPort& port, int bytes)
{
    return static_cast<int>((static_cast<qint64>(characterTimeUs(port)) * bytes + 999) / 1000);
}

void InterFrameSilence::waitBeforeWriting(const QSerialPort& port)
{
    if (!sinceLastByte.isValid())
        return;
    const qint64 silenceUs = port.baudRate() > 19200 ? 1750 : characterTimeUs(port) * 7 / 2;
    const qint64 passedUs = sinceLastByte.nsecsElapsed() / 1000;
    if (passedUs < silenceUs)
        QThread::usleep(static_cast<unsigned long>(silenceUs - passedUs));
}

} // namespace vane::modbus
