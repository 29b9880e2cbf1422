#pragma once

#include <QSerialPort>
#include <QTimer>

#include <optional>

#include "serial_line.h"
#include "shared_line.h"
#include "transport.h"

namespace vane::modbus {

// A serial port with the Modbus line discipline: a request goes out only on a quiet line, and an
// answer is given its wire time at the port's rate on top of the allowances. The exchanges run on
// the port's shared line (one per port name in the plug-in), in its turn; the port object holds
// the link's settings, which the line is opened with. The frame timer ends frames that arrive
// between exchanges after a frame gap.
class SerialTransport final : public Transport {
public:
    enum class Opening { Kept, PerExchange };

    // The port object and its frame timer are Qt children of `owner`, which connects to their notifications.
    explicit SerialTransport(QObject* owner);
    ~SerialTransport() override;

    QSerialPort& port() { return *serial; }
    QTimer& frameTimer() { return *timer; }

    // Joins the line of `portName` with the port object's present settings: kept open from now on,
    // or opened around each exchange; `openNow` opens it at once all the same, until the first
    // exchange of a per-exchange port. False when the line is in use with other settings, or the
    // port cannot be opened now; *warning then holds the reason when it is worth a warning.
    bool attach(const QString& portName, Opening opening, bool openNow, bool echo, const Rs485Mode& rs485, bool settingsRequired,
                QString* warning);
    // The port is kept open by this transport.
    bool isOpen() const { return kept; }
    // The line's descriptor while this transport keeps it open; -1 otherwise.
    int descriptor() const { return kept ? line->descriptor() : -1; }

    Kind kind() const override { return Kind::Serial; }
    bool usable() override { return true; } // a closed port takes the request and gives no answer
    // Gives up keeping the port open; a port opened per exchange stays with its line.
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
    SharedLine* line = nullptr; // joined, left by leaveLine
    Opening opening = Opening::Kept;
    bool kept = false;
    QString lastWarning; // the line's last complaint, warned about once until the line works again
    std::optional<LineTimes> times; // of the port's present settings

    void leaveLine();
    void leaveKeptOpen();
    // This transport may use the line now: it keeps the port open or opens it per exchange.
    bool onLine() const { return line && (kept || opening == Opening::PerExchange); }
    void warnOnce(const QString& reason);
    bool writeOnQuietLine(int fd, const QByteArray& request, int writeTimeoutMs, const LineTimes& times);
    // The adapter's echo of `request`, taken off the line; what came behind it stays in `answer`.
    // When it differs (a collision) `answer` keeps all that came.
    enum class Echo { None, Heard, Collided };
    Echo takeEcho(int fd, const QByteArray& request, const AnswerTiming& timing, QByteArray& answer);
};

} // namespace vane::modbus
