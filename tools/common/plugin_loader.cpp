#include "tools/common/plugin_loader.h"

#include <QFile>
#include <QFileInfo>

#include <dlfcn.h>

#include <exception>

#include "contract/CDriveBaseClass.h"

namespace vane {

namespace {

using EntryFunction = CDriveBaseClass* (*)();

QString lastDlError()
{
    const char* text = dlerror();
    return text ? QString::fromLocal8Bit(text) : QStringLiteral("unknown error");
}

// The driver handed out lives as long as the process, like its library, and stays referenced to
// the end: a plain pointer (no static destructor drops it early), volatile so that the store is
// kept although nothing reads it; leak checkers then see the driver as in use, which it is.
CDriveBaseClass* volatile liveDriver = nullptr;

LoadedPlugin failure(const QString& message)
{
    LoadedPlugin result;
    result.error = message;
    return result;
}

} // namespace

LoadedPlugin loadPlugin(const QString& path)
{
    const QFileInfo file(path);
    const bool bareName = !path.contains(QLatin1Char('/'));
    if (!bareName && !file.exists())
        return failure(QStringLiteral("plug-in file not found: %1").arg(path));
    if (file.exists() && !file.isFile())
        return failure(QStringLiteral("plug-in is not a file: %1").arg(path));

    // dlopen searches the library path for names without a slash, never the current directory.
    const QString target = file.exists() ? file.absoluteFilePath() : path;
    // RTLD_LOCAL: each plug-in carries its own copy of the record class; nothing may bind across.
    void* handle = dlopen(QFile::encodeName(target).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        if (bareName && !file.exists())
            return failure(QStringLiteral("plug-in not found: %1 is neither a file here nor in the library "
                                          "search path (%2)").arg(path, lastDlError()));
        return failure(QStringLiteral("cannot load plug-in %1: %2").arg(path, lastDlError()));
    }

    dlerror();
    void* symbol = dlsym(handle, "getSharedLibrary");
    if (!symbol) {
        dlclose(handle);
        return failure(QStringLiteral("%1 is not a driver plug-in: it has no getSharedLibrary").arg(path));
    }

    CDriveBaseClass* driver = nullptr;
    try {
        driver = reinterpret_cast<EntryFunction>(symbol)();
    } catch (const std::exception& e) {
        return failure(QStringLiteral("getSharedLibrary of %1 failed: %2").arg(path, QString::fromLocal8Bit(e.what())));
    } catch (...) {
        return failure(QStringLiteral("getSharedLibrary of %1 failed with an exception").arg(path));
    }
    if (!driver)
        return failure(QStringLiteral("getSharedLibrary of %1 returned no driver").arg(path));
    liveDriver = driver;
    LoadedPlugin result;
    result.driver = driver;
    return result;
}

} // namespace vane
