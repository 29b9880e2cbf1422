// Every test program here drives Qt objects (sockets, serial ports, timers, event loops) and
// needs an application object for the whole run.
#include <QCoreApplication>

#include <gtest/gtest.h>

namespace {

class QtApplication : public ::testing::Environment {
public:
    void SetUp() override
    {
        if (!QCoreApplication::instance())
            application = new QCoreApplication(argc, argv);
    }
    void TearDown() override
    {
        delete application;
        application = nullptr;
    }

private:
    int argc = 1;
    char name[16] = "rtu_test";
    char* argv[2] = {name, nullptr};
    QCoreApplication* application = nullptr;
};

[[maybe_unused]] ::testing::Environment* const registered = ::testing::AddGlobalTestEnvironment(new QtApplication);

} // namespace
