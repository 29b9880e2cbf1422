// vane-loadcheck: loads a driver plug-in the way the panel runtime does and says whether it can.
//
//   vane-loadcheck [--entry-only] /path/libSerivane.so.1
//
// dlopen with RTLD_NOW binds every symbol the plug-in imports at once, so a library or symbol the
// system lacks shows here, with the loader's own message, rather than at the first call on the
// panel. Then it resolves getSharedLibrary, creates the driver and prints its name and version
// through the host interface. --entry-only stops once the entry point is found (for libraries that
// cannot run a driver, such as link stand-ins). Exit status: 0 loaded, 1 usage, 2 the library does
// not load, 3 no entry point, 4 the entry point made no driver.
//
// Kept to stdio and QString so that it runs on the oldest system the plug-in itself supports.
#include <dlfcn.h>
#include <stdio.h>
#include <string.h>

#include <QByteArray>
#include <QString>

#include "contract/CDriveBaseClass.h"

namespace {

const char* loaderMessage()
{
    const char* text = dlerror();
    return text ? text : "the loader gave no reason here (uClibc prints its own above)";
}

} // namespace

int main(int argc, char** argv)
{
    bool entryOnly = false;
    int arg = 1;
    if (arg < argc && strcmp(argv[arg], "--entry-only") == 0) {
        entryOnly = true;
        ++arg;
    }
    if (arg + 1 != argc) {
        fprintf(stderr, "usage: vane-loadcheck [--entry-only] /path/to/libSerivane.so.1\n");
        return 1;
    }
    const char* path = argv[arg];

    void* handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        fprintf(stderr, "vane-loadcheck: cannot load %s: %s\n", path, loaderMessage());
        return 2;
    }
    dlerror();
    void* entry = dlsym(handle, "getSharedLibrary");
    if (!entry) {
        fprintf(stderr, "vane-loadcheck: no entry point getSharedLibrary in %s: %s\n", path, loaderMessage());
        return 3;
    }
    printf("loaded: %s\nentry point: getSharedLibrary\n", path);
    if (entryOnly)
        return 0;

    CDriveBaseClass* driver = reinterpret_cast<CDriveBaseClass* (*)()>(entry)();
    if (!driver) {
        fprintf(stderr, "vane-loadcheck: getSharedLibrary of %s returned no driver\n", path);
        return 4;
    }
    printf("driver: %s\nversion: %s\n", driver->getDriveName().toUtf8().constData(),
           driver->getversion_number().toUtf8().constData());
    // The driver stays alive to the end, as in a host: the interface has no way to delete it.
    return 0;
}
