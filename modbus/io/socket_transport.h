#pragma once

#include <QHostAddress>
#include <QTcpSocket>

#include "transport.h"

namespace vane::modbus {

// A TCP client socket. Requests and answers go through the socket's descriptor; the QTcpSocket
// keeps the connection's state and reports connects, disconnects and input between exchanges.
class SocketTransport final : public Transport {
public:
    // The socket is a Qt child of `owner`, which connects to its notifications.
    explicit SocketTransport(QObject* owner);
    ~SocketTransport() override;

    QTcpSocket& socket() { return *tcp; }

    // Drops any earlier connection and connects anew, waiting up to `timeoutMs`.
    // 0 when connected or still connecting by then, -3 when it gave up.
    int connectTo(const QHostAddress& address, int port, int timeoutMs);

    Kind kind() const override { return Kind::Socket; }
    bool usable() override;
    // Closes the socket and waits up to 30 s for the peer to let it go.
    void close() override;
    bool exchange(const QByteArray& request, const AnswerShape& shape, const AnswerTiming& timing,
                  QByteArray& answer) override;
    bool send(const QByteArray& request, int writeTimeoutMs) override;
    void takeIncoming() override;

private:
    QTcpSocket* tcp;
    bool staleJustDiscarded = false;

    // Drops input nobody asked for (the tail of a late answer, chatter between requests) and
    // notices a peer that has gone.
    void discardStale();
    bool connected() const { return tcp->state() == QAbstractSocket::ConnectedState; }
    bool writeRequest(const QByteArray& request, int writeTimeoutMs);
    void noticePeerGone();
};

} // namespace vane::modbus
