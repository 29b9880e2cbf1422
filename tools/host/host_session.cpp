#include "host_session.h"

#include "commands.h"
#include "console.h"
#include "contract/CDriveBaseClass.h"
#include "driver_log.h"
#include "exit_codes.h"
#include "plugin_loader.h"
#include "status_text.h"

namespace vane::host {

namespace {

int runCommand(CDriveBaseClass& driver, const Options& options)
{
    switch (options.command) {
    case Command::Read: return runRead(driver, options);
    case Command::Write: return runWrite(driver, options);
    case Command::Poll: return runPoll(driver, options);
    case Command::Bench: return runBench(driver, options);
    case Command::Info: return runInfo(driver, options);
    case Command::Scan: return runScan(driver, options);
    case Command::Help: break;
    }
    return ExitUsage;
}

} // namespace

int runHost(const Options& options)
{
    installDriverLog(options.debug);
    const LoadedPlugin plugin = loadPlugin(options.pluginPath);
    if (!plugin.driver) {
        printError(plugin.error);
        return ExitPluginLoad;
    }
    CDriveBaseClass& driver = *plugin.driver;
    // The answer dumps of the debug output name Modbus exceptions; the lines are shown only with
    // --debug. A bench measures the driver as the runtime uses it, without them.
    if (options.debug || options.command != Command::Bench)
        driver.DebugCmd(StartDebug);

    driver.SetConnectPar(options.station);
    if (options.connect) {
        const int result = driver.ConnectDrive(options.connection);
        if (result != 0) {
            printError(QStringLiteral("cannot connect with '%1': ConnectDrive returned %2: %3")
                           .arg(options.connection)
                           .arg(result)
                           .arg(connectResultMeaning(result)));
            driver.DestroyFree();
            return ExitConnectFailed;
        }
    }
    const int exitCode = runCommand(driver, options);
    if (options.connect)
        driver.DisConnectDrive();
    driver.DestroyFree();
    return exitCode;
}

} // namespace vane::host
