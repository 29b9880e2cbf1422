#include "serial_line.h"

#include <QSerialPort>

#include <algorithm>

#include <sys/prctl.h>

#include "exchange.h"

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

qint64 wireTimeUs(const QSerialPort& port, int bytes) { return static_cast<qint64>(characterTimeUs(port)) * bytes; }

namespace {

int silenceOf(int baudRate, int characterUs) { return baudRate > 19200 ? 1750 : characterUs * 7 / 2; }

int frameGapOf(int silence) { return std::max(silence, 2000); }

} // namespace

int silenceUs(const QSerialPort& port) { return silenceOf(port.baudRate(), characterTimeUs(port)); }

int frameGapUs(const QSerialPort& port) { return frameGapOf(silenceUs(port)); }

LineTimes::LineTimes(const QSerialPort& port)
    : characterUs(characterTimeUs(port)), silenceUs(silenceOf(port.baudRate(), characterUs)),
      frameGapUs(frameGapOf(silenceUs))
{
}

void LineDiscipline::lineBusyUntil(qint64 usFromNow)
{
    if (!clock.isValid())
        clock.start();
    lastByteUs = nowUs() + usFromNow;
    seenQuietUs = 0;
}

FineTimerSlack::FineTimerSlack() : saved(::prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0))
{
    if (saved > kFineSlackNs)
        ::prctl(PR_SET_TIMERSLACK, kFineSlackNs, 0, 0, 0);
}

FineTimerSlack::~FineTimerSlack()
{
    if (saved > kFineSlackNs)
        ::prctl(PR_SET_TIMERSLACK, saved, 0, 0, 0);
}

void LineDiscipline::awaitQuietLine(int fd, int silence, int boundMs)
{
    if (!clock.isValid())
        clock.start();
    qint64 giveUpUs = -1;
    DescriptorState state;
    state.socket = false;
    for (;;) {
        // The tail of a late answer: it belongs to nobody now, and it keeps the line busy.
        if (readWaiting(fd, nullptr, state) > 0)
            byteSeen();
        // A line already seen quiet long enough needs no look at the clock.
        if (seenQuietUs >= std::max<qint64>(silence, holdUs))
            break;
        const qint64 now = nowUs();
        if (giveUpUs < 0)
            giveUpUs = now + static_cast<qint64>(boundMs) * 1000;
        const qint64 quietAt = lastByteUs + std::max<qint64>(silence, holdUs);
        if (now >= quietAt || now >= giveUpUs || state.endOfStream)
            break;
        waitReadable(fd, std::min(quietAt, giveUpUs) - now);
    }
    holdUs = 0;
}

} // namespace vane::modbus
