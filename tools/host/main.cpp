// vane-host: a command-line stand-in for the panel runtime, to try a driver plug-in and a tag
// list against a device from a desk.
#include <QCoreApplication>

#include "cli_options.h"
#include "console.h"
#include "exit_codes.h"
#include "host_session.h"

using namespace vane::host;

int main(int argc, char** argv)
{
    // The drivers are built on Qt objects (sockets, serial ports, timers) and need an application.
    QCoreApplication app(argc, argv);
    const ParsedCommandLine parsed = parseCommandLine(QCoreApplication::arguments().mid(1));
    if (!parsed.ok) {
        printError(parsed.error);
        return ExitUsage;
    }
    if (parsed.options.command == Command::Help) {
        printText(helpText());
        return ExitOk;
    }
    return runHost(parsed.options);
}
