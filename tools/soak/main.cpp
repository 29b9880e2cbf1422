// vane-soak: loads a driver plug-in as the panel runtime does and runs reads and writes of every
// data type against a simulated device that answers a share of the requests wrongly
// (vane-sim --faults). A status-0 read must carry the values of the device's map; a status-0
// write must have been stored, which a second driver checks over the device's fault-free port.
// Prints one table row: transactions, statuses, misattributions, resident size and open
// descriptors after the warm-up round and at the end.
//
//   vane-soak --plugin LIB --connect STRING [--station N] --verify-plugin LIB
//             --verify HOST:PORT --seconds N --registers OFFSET --coils OFFSET [--name NAME]

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QStringList>

#include <cstdio>
#include <map>

#include "contract/CDriveBaseClass.h"
#include "soak_plan.h"
#include "tools/common/plugin_loader.h"
#include "tools/common/value_text.h"

using namespace vane;
using namespace vane::soak;

namespace {

struct Usage {
    long rssKb = 0;
    int descriptors = 0;
};

Usage usageNow()
{
    Usage usage;
    if (FILE* status = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, status))
            if (std::sscanf(line, "VmRSS: %ld", &usage.rssKb) == 1)
                break;
        std::fclose(status);
    }
    usage.descriptors = int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::NoDotAndDotDot | QDir::System).size());
    return usage;
}

CLabelVariable recordOf(DataType type, int count, const QStringList& texts)
{
    CLabelVariable record;
    record.type = type;
    record.count = count;
    QString error;
    if (!parseValues(type, texts, &record.value, &error))
        std::fprintf(stderr, "vane-soak: bad plan value: %s\n", qPrintable(error));
    return record;
}

QStringList valuesOf(CLabelVariable record)
{
    return formatValues(record, ValueStyle::Text);
}

// What a write leaves in the device, as the read that checks it: 8-bit elements written to coils
// supply one coil per bit, the first coil in the lowest bit, `count` coils in all.
ReadCheck storedBy(const WriteCheck& check, const QStringList& values)
{
    if (!check.address.startsWith(QLatin1String("0x")) || check.type == Bool)
        return {check.address, check.type, check.count, values};
    QStringList bits;
    for (int coil = 0; coil < check.count; ++coil)
        bits << ((values.value(coil / 8).toUInt(nullptr, 0) >> (coil % 8)) & 1 ? "1" : "0");
    return {check.address, Bool, check.count, bits};
}

class Soak
{
public:
    Soak(CDriveBaseClass* driver, CDriveBaseClass* verifier, QString name)
        : driver_(driver), verifier_(verifier), name_(std::move(name)) {}

    void round(unsigned number, const std::vector<ReadCheck>& reads, const std::vector<WriteCheck>& writes);
    void printRow(const Usage& start, const Usage& end) const;

private:
    int count(int status)
    {
        ++transactions_;
        ++statuses_[status];
        QCoreApplication::processEvents(); // the host runs its event loop between calls
        return status;
    }
    void misattributed(const char* what, const QString& address, DataType type, const QStringList& got,
                       const QStringList& expected);

    CDriveBaseClass* driver_;
    CDriveBaseClass* verifier_;
    QString name_;
    long transactions_ = 0;
    std::map<int, long> statuses_;
    long readMisattributions_ = 0;
    long writeMisattributions_ = 0;
    long verifyFailures_ = 0;
};

void Soak::misattributed(const char* what, const QString& address, DataType type, const QStringList& got,
                         const QStringList& expected)
{
    const long shown = readMisattributions_ + writeMisattributions_;
    if (shown <= 10)
        std::fprintf(stderr, "vane-soak %s: status-0 %s %s type %d: got [%s] expected [%s]\n", qPrintable(name_), what,
                     qPrintable(address), int(type), qPrintable(got.mid(0, 8).join(' ')),
                     qPrintable(expected.mid(0, 8).join(' ')));
}

void Soak::round(unsigned number, const std::vector<ReadCheck>& reads, const std::vector<WriteCheck>& writes)
{
    for (const ReadCheck& check : reads) {
        const CLabelVariable record = driver_->ReadVariable(check.address, check.type, check.count);
        if (count(record.status) != 0)
            continue;
        const QStringList got = valuesOf(record);
        const QStringList expected = valuesOf(recordOf(check.type, check.count, check.expected));
        if (got != expected) {
            ++readMisattributions_;
            misattributed("read", check.address, check.type, got, expected);
        }
    }
    for (const WriteCheck& check : writes) {
        const QStringList opposite = writeValues(check, number, true);
        const QStringList values = writeValues(check, number, false);
        // The opposite values first, over the fault-free port: a write that is not stored shows.
        if (verifier_->WriteVariable(check.address, check.type, recordOf(check.type, check.count, opposite), check.count)
                .status != 0) {
            ++verifyFailures_;
            continue;
        }
        const CLabelVariable written =
            driver_->WriteVariable(check.address, check.type, recordOf(check.type, check.count, values), check.count);
        if (count(written.status) != 0)
            continue;
        const ReadCheck wanted = storedBy(check, values);
        const CLabelVariable stored = verifier_->ReadVariable(wanted.address, wanted.type, wanted.count);
        if (stored.status != 0) {
            ++verifyFailures_;
            continue;
        }
        const QStringList expected = valuesOf(recordOf(wanted.type, wanted.count, wanted.expected));
        if (valuesOf(stored) != expected) {
            ++writeMisattributions_;
            misattributed("write", check.address, check.type, valuesOf(stored), expected);
        }
    }
}

void Soak::printRow(const Usage& start, const Usage& end) const
{
    QStringList others;
    for (const auto& [status, n] : statuses_)
        if (status != 0 && status != 7 && status != 8 && status != 9)
            others << QStringLiteral("%1:%2").arg(status).arg(n);
    const auto of = [this](int status) { return statuses_.count(status) ? statuses_.at(status) : 0L; };
    std::printf("%-10s %12ld %10ld %8ld %8ld %8ld %-8s %9ld %9ld %8ld %15s %9s\n", qPrintable(name_), transactions_,
                of(0), of(7), of(8), of(9), others.isEmpty() ? "-" : qPrintable(others.join(',')),
                readMisattributions_, writeMisattributions_, verifyFailures_,
                qPrintable(QStringLiteral("%1->%2").arg(start.rssKb).arg(end.rssKb)),
                qPrintable(QStringLiteral("%1->%2").arg(start.descriptors).arg(end.descriptors)));
    std::fflush(stdout);
}

struct Options {
    QString plugin, connect, station = QStringLiteral("1"), verifyPlugin, verify, name;
    int seconds = 60, registers = 200, coils = 16;
    bool header = false;
};

bool parse(const QStringList& args, Options* o)
{
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--header")) {
            o->header = true;
            continue;
        }
        if (i + 1 >= args.size())
            return false;
        const QString v = args[++i];
        if (a == QLatin1String("--plugin")) o->plugin = v;
        else if (a == QLatin1String("--connect")) o->connect = v;
        else if (a == QLatin1String("--station")) o->station = v;
        else if (a == QLatin1String("--verify-plugin")) o->verifyPlugin = v;
        else if (a == QLatin1String("--verify")) o->verify = v;
        else if (a == QLatin1String("--name")) o->name = v;
        else if (a == QLatin1String("--seconds")) o->seconds = v.toInt();
        else if (a == QLatin1String("--registers")) o->registers = v.toInt();
        else if (a == QLatin1String("--coils")) o->coils = v.toInt();
        else return false;
    }
    return o->header || (!o->plugin.isEmpty() && !o->connect.isEmpty() && !o->verifyPlugin.isEmpty()
                         && !o->verify.isEmpty() && o->seconds > 0);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    Options options;
    if (!parse(app.arguments(), &options)) {
        std::fprintf(stderr, "usage: vane-soak --plugin LIB --connect STRING [--station N] --verify-plugin LIB "
                             "--verify HOST:PORT --seconds N --registers OFFSET --coils OFFSET [--name NAME]\n"
                             "       vane-soak --header\n");
        return 2;
    }
    if (options.header) {
        std::printf("%-10s %12s %10s %8s %8s %8s %-8s %9s %9s %8s %15s %9s\n", "run", "transactions", "status 0",
                    "7", "8", "9", "other", "bad read", "bad write", "unverif", "RSS kB", "fds");
        return 0;
    }
    const LoadedPlugin tested = loadPlugin(options.plugin);
    const LoadedPlugin verifying = loadPlugin(options.verifyPlugin);
    if (!tested.driver || !verifying.driver) {
        std::fprintf(stderr, "vane-soak: %s%s\n", qPrintable(tested.error), qPrintable(verifying.error));
        return 1;
    }
    tested.driver->SetConnectPar(options.station);
    if (tested.driver->ConnectDrive(options.connect) != 0 || verifying.driver->ConnectDrive(options.verify) != 0) {
        std::fprintf(stderr, "vane-soak: cannot connect %s / %s\n", qPrintable(options.connect),
                     qPrintable(options.verify));
        return 1;
    }

    const bool serial = options.connect.contains(QLatin1Char(','));
    const std::vector<ReadCheck> reads = readChecks();
    const std::vector<WriteCheck> writes = writeChecks(options.registers, options.coils, serial);
    Soak soak(tested.driver, verifying.driver, options.name.isEmpty() ? options.connect : options.name);
    QElapsedTimer clock;
    clock.start();
    unsigned number = 0;
    soak.round(number++, reads, writes); // warm-up: connections, buffers, Qt's caches
    const Usage start = usageNow();
    while (clock.elapsed() < qint64(options.seconds) * 1000)
        soak.round(number++, reads, writes);
    soak.printRow(start, usageNow());
    return 0;
}
