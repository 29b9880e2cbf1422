// Tests of sockets, serial ports, timers, event loops and child processes need an application
// object for the whole run; linking this file into a test program registers one.
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
    char name[16] = "vane_test";
    char* argv[2] = {name, nullptr};
    QCoreApplication* application = nullptr;
};

[[maybe_unused]] ::testing::Environment* const registered = ::testing::AddGlobalTestEnvironment(new QtApplication);

} // namespace
