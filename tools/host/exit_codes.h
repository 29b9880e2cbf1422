#pragma once

namespace vane::host {

// Process exit codes; --help lists them for scripts.
enum ExitCode {
    ExitOk = 0,
    ExitTransactionFailed = 1, // some read or write came back with a status other than 0
    ExitUsage = 2,             // bad command line, tag file or value
    ExitPluginLoad = 3,        // the plug-in file is missing or is no driver plug-in
    ExitConnectFailed = 4,     // ConnectDrive refused the parameters or did not connect
};

} // namespace vane::host
