#pragma once

#include <QString>

class CDriveBaseClass;

namespace vane {

struct LoadedPlugin {
    CDriveBaseClass* driver = nullptr; // null when loading failed
    QString error;                     // one line when loading failed
};

// Loads a driver plug-in as the panel runtime does: dlopen, then getSharedLibrary by its plain
// name, called once for one driver. A path with a slash must name an existing file; a bare name
// is taken from the current directory when it is there, otherwise from the library search path.
// The library stays loaded for the life of the process: the driver cannot be deleted through its
// interface, and Qt keeps pointers into the plug-in's code (meta-type converters) until exit.
LoadedPlugin loadPlugin(const QString& path);

} // namespace vane
