#include "tools/sim/serving_thread.h"

#include <cstdint>
#include <sys/eventfd.h>
#include <unistd.h>

namespace vanesim {

ServingThread::ServingThread() : wakeFd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

ServingThread::~ServingThread()
{
    stop();
    close(wakeFd_);
}

void ServingThread::start(std::function<void()> loop)
{
    thread_ = std::thread(std::move(loop));
}

void ServingThread::stop()
{
    stopping_ = true;
    const uint64_t one = 1;
    const ssize_t n = write(wakeFd_, &one, sizeof one);
    (void)n;
    if (thread_.joinable())
        thread_.join();
}

} // namespace vanesim
