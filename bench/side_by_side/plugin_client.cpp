// A driver plug-in driven as the panel runtime drives it: dlopen, getSharedLibrary, station
// number, connect, then one ReadVariable or WriteVariable per transaction with the tag and the
// value the panel keeps between calls.
#include "client.h"

#include "contract/CDriveBaseClass.h"
#include "tools/common/plugin_loader.h"

#include <QList>
#include <QString>

#include <cstdio>

namespace sbs {

namespace {

class PluginClient : public Client {
public:
    explicit PluginClient(CDriveBaseClass* driver) : driver_(driver) {}
    ~PluginClient() override
    {
        driver_->DisConnectDrive();
        driver_->DestroyFree();
    }

    bool readHolding(int count) override { return driver_->ReadVariable(readTag_, UInt16, count).status == 0; }

    bool writeOne(uint16_t value) override
    {
        if (written_ != value) {
            values_.value = QVariant::fromValue(QList<unsigned short>{value});
            written_ = value;
        }
        return driver_->WriteVariable(writeTag_, UInt16, values_, 1).status == 0;
    }

private:
    CDriveBaseClass* driver_;
    const QString readTag_ = QStringLiteral("4x0");
    const QString writeTag_ = QStringLiteral("4x%1").arg(kWriteRegister);
    CLabelVariable values_;
    int written_ = -1;
};

} // namespace

std::unique_ptr<Client> makePluginClient(const std::string& file, const Target& target)
{
    // Loaded as the runtime loads it: the plug-in binds to its own copy of the record class.
    const vane::LoadedPlugin plugin = vane::loadPlugin(QString::fromStdString(file));
    if (!plugin.driver) {
        std::fprintf(stderr, "plug-in client: %s\n", qPrintable(plugin.error));
        return nullptr;
    }
    CDriveBaseClass* driver = plugin.driver;
    driver->SetConnectPar(QStringLiteral("1"));
    const QString connection = target.rtu
        ? QStringLiteral("%1,115200,8,1,N").arg(QString::fromStdString(target.device))
        : QStringLiteral("%1:%2").arg(QString::fromStdString(target.host)).arg(target.port);
    const int result = driver->ConnectDrive(connection);
    if (result != 0) {
        std::fprintf(stderr, "plug-in client: ConnectDrive(%s) returned %d\n", qPrintable(connection), result);
        driver->DestroyFree();
        return nullptr;
    }
    return std::make_unique<PluginClient>(driver);
}

} // namespace sbs
