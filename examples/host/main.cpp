// A minimal host: loads a driver plug-in by path, connects, writes and reads a few tags and
// prints the records. Usage: vane-example-host <plug-in> <connection> [station]
//   vane-example-host /usr/lib/x86_64-linux-gnu/libNetvane.so.1 127.0.0.1:1502
//   vane-example-host /usr/lib/x86_64-linux-gnu/libSerivane.so.1 /dev/ttyUSB0,9600,8,1,E
#include <QCoreApplication>
#include <QTextStream>

#include <dlfcn.h>

#include <vane/contract/CDriveBaseClass.h>
#include <vane/contract/status.h>

static void print(CLabelVariable record)
{
    QTextStream out(stdout);
    out << record.address << " status " << record.status << " values";
    for (int i = 0; i < record.count; ++i) {
        if (record.type == Bool)
            out << ' ' << record.atbool(i);
        else if (record.type == Int16)
            out << ' ' << record.atInt16(i);
        else
            out << ' ' << record.atUInt16(i);
    }
    out << " at " << record.timestamp.toString(Qt::ISODateWithMs) << '\n';
}

int main(int argc, char** argv)
{
    // The drivers are built on Qt sockets, serial ports and timers: an application must exist.
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        QTextStream(stderr) << "usage: " << argv[0] << " <plug-in> <connection> [station]\n";
        return 2;
    }
    void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    auto entry = library ? reinterpret_cast<CDriveBaseClass* (*)()>(dlsym(library, "getSharedLibrary")) : nullptr;
    if (!entry) {
        QTextStream(stderr) << "cannot load " << argv[1] << ": " << dlerror() << '\n';
        return 3;
    }
    // The driver belongs to the plug-in: never deleted, released with DestroyFree at the end.
    CDriveBaseClass* driver = entry();
    driver->SetConnectPar(QString::fromLocal8Bit(argc > 3 ? argv[3] : "1"));
    if (driver->ConnectDrive(QString::fromLocal8Bit(argv[2])) != 0) {
        QTextStream(stderr) << driver->getDriveName() << ": cannot connect to " << argv[2] << '\n';
        return 4;
    }

    CLabelVariable values;
    values.value = QVariant::fromValue(QList<short>{1234, -5}); // one QList of the tag's element type
    CLabelVariable written = driver->WriteVariable(QStringLiteral("4x200"), Int16, values, 2);
    print(written);
    print(driver->ReadVariable(QStringLiteral("4x200"), Int16, 2));
    print(driver->ReadVariable(QStringLiteral("0x0"), Bool, 8));
    CLabelVariable last = driver->ReadVariable(QStringLiteral("3x0"), UInt16);
    print(last);

    driver->DisConnectDrive();
    driver->DestroyFree();
    return written.status == vane::StatusDone && last.status == vane::StatusDone ? 0 : 1;
}
