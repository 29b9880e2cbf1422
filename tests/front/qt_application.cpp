// The drivers are QObjects with sockets, serial ports and timers: give them an application object.
#include <gtest/gtest.h>

#include <QCoreApplication>

namespace {

class QtApplication : public ::testing::Environment {
public:
    void SetUp() override
    {
        static int argc = 1;
        static char name[] = "front_test";
        static char* argv[] = {name, nullptr};
        application = new QCoreApplication(argc, argv);
    }
    void TearDown() override
    {
        delete application;
        application = nullptr;
    }

private:
    QCoreApplication* application = nullptr;
};

[[maybe_unused]] ::testing::Environment* const environment = ::testing::AddGlobalTestEnvironment(new QtApplication);

} // namespace
