#pragma once

// A scriptable, fault-injecting Modbus device for driver tests, on a TCP port of
// 127.0.0.1 (picked by the kernel) or on a serial device path (one end of a PtyPair or
// SlowPtyRelay). Every request frame it receives is recorded and handed to the test's
// handler, whose replies say what goes back and when: nothing (silence), a correct or
// corrupted answer, an answer in several pieces with pauses, a late answer, or (TCP) the
// connection closed by the device.
//
// Each request's replies are timed from the moment that request arrived, independently
// of other requests, so a late answer to one request can still be on its way when the
// next request arrives. The device keeps receiving while replies wait.

#include "tests/support/posix_util.h"
#include "tests/support/request_framer.h"

#include <QByteArray>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vanetest {

// One piece of a device's reaction to a request.
struct Reply {
    QByteArray bytes;          // sent as they stand (may be empty)
    int delayMs = 0;           // wait before this piece, after the previous piece or the request
    bool closeAfter = false;   // TCP: the device closes the connection after this piece

    static Reply send(const QByteArray &bytes, int delayMs = 0) { return {bytes, delayMs, false}; }
    static Reply closeConnection(int delayMs = 0) { return {QByteArray(), delayMs, true}; }
};
using Replies = std::vector<Reply>;

class FakeDevice
{
public:
    using Handler = std::function<Replies(const QByteArray &request)>;

    static std::unique_ptr<FakeDevice> listenTcp(Framing framing, Handler handler);
    static std::unique_ptr<FakeDevice> openSerial(const std::string &devicePath, Framing framing,
                                                  Handler handler);
    ~FakeDevice();
    FakeDevice(const FakeDevice &) = delete;
    FakeDevice &operator=(const FakeDevice &) = delete;

    // False when the port could not be bound or the device path not opened.
    bool isReady() const { return ready_; }
    uint16_t port() const { return port_; } // TCP only

    void setHandler(Handler handler);
    // Bytes whose size the frame cannot tell end after this much silence (default 5 ms).
    void setIdleGapMs(int ms) { idleGapMs_ = ms; }

    // Request frames received so far, in order of arrival.
    std::vector<QByteArray> requests() const;
    int requestCount() const;
    QByteArray lastRequest() const;
    bool waitForRequests(int count, int timeoutMs) const;
    void clearRequests();

    // TCP: connections accepted so far, and those still open.
    int connectionCount() const { return accepted_; }
    int openConnectionCount() const { return open_; }

    // Sends bytes at once, unasked: on the serial line or on every open TCP connection.
    void push(const QByteArray &bytes);

private:
    struct Channel;

    FakeDevice(Framing framing, Handler handler);
    void serve();
    void receive(Channel &channel);
    void deliverDue(std::vector<std::unique_ptr<Channel>> &channels);
    void sendPushed(std::vector<std::unique_ptr<Channel>> &channels);

    Framing framing_;
    bool ready_ = false;
    bool tcp_ = false;
    int listenFd_ = -1;
    int serialFd_ = -1;
    uint16_t port_ = 0;
    std::atomic<int> idleGapMs_{5};

    mutable std::mutex mutex_;
    mutable std::condition_variable received_;
    Handler handler_;
    std::vector<QByteArray> requests_;
    std::vector<QByteArray> pushed_;

    std::atomic<int> accepted_{0};
    std::atomic<int> open_{0};
    WakeFd wake_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

} // namespace vanetest
