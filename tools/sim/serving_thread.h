#pragma once

// A background thread that serves one transport until asked to stop. The stop request
// wakes the thread's poll at once through an eventfd, so shutdown on SIGINT is immediate.

#include <atomic>
#include <functional>
#include <thread>

namespace vanesim {

class ServingThread
{
public:
    ServingThread();
    ~ServingThread();
    ServingThread(const ServingThread &) = delete;
    ServingThread &operator=(const ServingThread &) = delete;

    // Runs `loop` on the thread; the loop polls wakeFd() next to its own descriptors and
    // returns once stopping() is true.
    void start(std::function<void()> loop);
    void stop();

    int wakeFd() const { return wakeFd_; }
    bool stopping() const { return stopping_; }

private:
    int wakeFd_;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

} // namespace vanesim
