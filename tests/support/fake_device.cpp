#include "tests/support/fake_device.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <map>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace vanetest {

struct FakeDevice::Channel {
    Channel(int descriptor, bool isSocket, Framing framing)
        : fd(descriptor), socket(isSocket), framer(framing) {}

    int fd;
    bool socket;
    RequestFramer framer;
    std::multimap<int64_t, Reply> outbox; // by due time; equal times keep their order
    bool closed = false;

    void sendNow(const QByteArray &bytes)
    {
        int done = 0;
        while (done < bytes.size() && !closed) {
            const ssize_t n = socket ? ::send(fd, bytes.constData() + done, size_t(bytes.size() - done), MSG_NOSIGNAL)
                                     : ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
            if (n > 0) {
                done += int(n);
            } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
                pollfd p{fd, POLLOUT, 0};
                poll(&p, 1, 100);
            } else {
                closed = socket; // the client went away; a serial line just drops the bytes
                return;
            }
        }
    }
};

FakeDevice::FakeDevice(Framing framing, Handler handler)
    : framing_(framing), handler_(std::move(handler)) {}

std::unique_ptr<FakeDevice> FakeDevice::listenTcp(Framing framing, Handler handler)
{
    std::unique_ptr<FakeDevice> device(new FakeDevice(framing, std::move(handler)));
    device->tcp_ = true;
    device->listenFd_ = listenOnLoopback(&device->port_);
    device->ready_ = device->listenFd_ >= 0;
    if (device->ready_)
        device->thread_ = std::thread(&FakeDevice::serve, device.get());
    return device;
}

std::unique_ptr<FakeDevice> FakeDevice::openSerial(const std::string &devicePath, Framing framing,
                                                   Handler handler)
{
    std::unique_ptr<FakeDevice> device(new FakeDevice(framing, std::move(handler)));
    device->serialFd_ = open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    device->ready_ = device->serialFd_ >= 0 && setRawMode(device->serialFd_);
    if (device->ready_) {
        tcflush(device->serialFd_, TCIOFLUSH);
        device->thread_ = std::thread(&FakeDevice::serve, device.get());
    }
    return device;
}

FakeDevice::~FakeDevice()
{
    stop_ = true;
    wake_.wake();
    if (thread_.joinable())
        thread_.join();
    if (listenFd_ >= 0)
        close(listenFd_);
    if (serialFd_ >= 0)
        close(serialFd_);
}

void FakeDevice::setHandler(Handler handler)
{
    std::lock_guard<std::mutex> lock(mutex_);
    handler_ = std::move(handler);
}

std::vector<QByteArray> FakeDevice::requests() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

int FakeDevice::requestCount() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return int(requests_.size());
}

QByteArray FakeDevice::lastRequest() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_.empty() ? QByteArray() : requests_.back();
}

bool FakeDevice::waitForRequests(int count, int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(mutex_);
    return received_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [&] { return int(requests_.size()) >= count; });
}

void FakeDevice::clearRequests()
{
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.clear();
}

void FakeDevice::push(const QByteArray &bytes)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        pushed_.push_back(bytes);
    }
    wake_.wake();
}

void FakeDevice::receive(Channel &channel)
{
    char buffer[1024];
    for (;;) {
        const ssize_t n = ::read(channel.fd, buffer, sizeof buffer);
        if (n > 0) {
            channel.framer.append(buffer, int(n), monotonicMs());
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            if (n == 0 || errno != EAGAIN)
                channel.closed = true; // peer closed (socket) or the line is gone (pty)
            return;
        }
    }
}

void FakeDevice::deliverDue(std::vector<std::unique_ptr<Channel>> &channels)
{
    const int64_t now = monotonicMs();
    for (auto &channel : channels) {
        while (!channel->closed && !channel->outbox.empty() && channel->outbox.begin()->first <= now) {
            const Reply reply = channel->outbox.begin()->second;
            channel->outbox.erase(channel->outbox.begin());
            channel->sendNow(reply.bytes);
            if (reply.closeAfter && channel->socket)
                channel->closed = true;
        }
    }
}

void FakeDevice::sendPushed(std::vector<std::unique_ptr<Channel>> &channels)
{
    std::vector<QByteArray> pushed;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        pushed.swap(pushed_);
    }
    for (const QByteArray &bytes : pushed)
        for (auto &channel : channels)
            channel->sendNow(bytes);
}

void FakeDevice::serve()
{
    std::vector<std::unique_ptr<Channel>> channels;
    if (!tcp_)
        channels.push_back(std::make_unique<Channel>(serialFd_, false, framing_));

    while (!stop_) {
        const int64_t now = monotonicMs();
        int64_t nextEvent = INT64_MAX;
        std::vector<pollfd> fds{{wake_.fd(), POLLIN, 0}, {listenFd_, POLLIN, 0}};
        for (auto &channel : channels) {
            fds.push_back({channel->fd, POLLIN, 0});
            nextEvent = std::min(nextEvent, channel->framer.deadlineMs(idleGapMs_));
            if (!channel->outbox.empty())
                nextEvent = std::min(nextEvent, channel->outbox.begin()->first);
        }
        const int timeout = nextEvent == INT64_MAX ? -1 : int(std::max<int64_t>(0, nextEvent - now));
        if (poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR)
            break;

        if (fds[0].revents) {
            wake_.drain();
            sendPushed(channels);
        }
        if (fds[1].revents & POLLIN) {
            const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (fd >= 0) {
                const int yes = 1;
                setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
                channels.push_back(std::make_unique<Channel>(fd, true, framing_));
                ++accepted_;
                ++open_;
            }
        }
        for (size_t i = 2; i < fds.size(); ++i)
            if (fds[i].revents)
                receive(*channels[i - 2]);

        for (auto &channel : channels) {
            QByteArray request;
            while (channel->framer.takeFrame(&request, monotonicMs(), idleGapMs_)) {
                Handler handler;
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    requests_.push_back(request);
                    handler = handler_;
                }
                received_.notify_all();
                int64_t due = monotonicMs();
                for (const Reply &reply : handler ? handler(request) : Replies()) {
                    due += reply.delayMs;
                    channel->outbox.emplace(due, reply);
                }
            }
        }
        deliverDue(channels);

        for (auto it = channels.begin(); it != channels.end();) {
            if ((*it)->closed && (*it)->socket) {
                close((*it)->fd);
                --open_;
                it = channels.erase(it);
            } else if ((*it)->closed) {
                it = channels.erase(it); // serial line gone; its descriptor is closed by the destructor
            } else {
                ++it;
            }
        }
    }
    for (auto &channel : channels)
        if (channel->socket)
            close(channel->fd);
    open_ = 0;
}

} // namespace vanetest
