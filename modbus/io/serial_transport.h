#pragma once

#include <QSerialPort>
#include <QTimer>

#include <optional>

#include "serial_line.h"
#include "transport.h"

namespace vane::modbus {

// A serial port with the Modbus line discipline: a request goes out only on a quiet line, and an
// answer is given its wire time at the port's rate on top of the allowances. The frame timer ends
// frames that arrive between exchanges after a frame gap.
class SerialTransport final : public Transport {
public:
    enum class Opening { Kept, PerExchange };

    // The port and its frame timer are Qt children of `owner`, which connects to their notifications.
    explicit SerialTransport(QObject* owner);
    ~SerialTransport() override;

    QSerialPort& port() { return *serial; }
    QTimer& frameTimer() { return *timer; }
    Opening opening = Opening::Kept;

    Kind kind() const override { return Kind::Serial; }
    bool usable() override { return true; } // a closed port takes the request and gives no answer
    void close() override;
    bool exchange(const QByteArray& request, const AnswerShape& shape, const AnswerTiming& timing,
                  QByteArray& answer) override;
    bool send(const QByteArray& request, int writeTimeoutMs) override;
    void takeIncoming() override;

    // The character time, silence and frame gap of the port's present settings.
    const LineTimes& lineTimes();
    // The frame timer's restart on arriving bytes.
    void restartFrameTimer();
    // After a broadcast the devices need this long before the next request.
    static constexpr int kBroadcastTurnaroundMs = 100;

private:
    QSerialPort* serial;
    QTimer* timer;
    LineDiscipline line;
    std::optional<LineTimes> times; // of the port's present settings

    // Opens the port for a request when it is opened per exchange; false when it is not open.
    bool readyForRequest();
    bool writeOnQuietLine(const QByteArray& request, int writeTimeoutMs, const LineTimes& times);
    void dropBuffered();
};

} // namespace vane::modbus
