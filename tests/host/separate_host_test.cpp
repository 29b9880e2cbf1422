// A host built apart from the plug-in: it sees only the interface header, loads the plug-in by
// path, resolves getSharedLibrary by name and uses the records it gets through the exported
// members of the label value record.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cmath>
#include <limits>
#include <vector>

#include "contract/CDriveBaseClass.h"

namespace {

#if defined(VANE_HOST_NETVANE)
const char* const driveName = "modbusTcp";
const char* const version = "V1.9.1 20230323";
const char* const buildPrefix = "v1.9.2.B ";
const int disconnectWithoutLink = -1;
const int noLinkStatus = 8;
#define HOST_TEST(name) TEST(NetvaneHost, name)
#elif defined(VANE_HOST_SERIVANE)
const char* const driveName = "modbusRtu";
const char* const version = "V1.7.8 20230506";
const char* const buildPrefix = "v1.7.8 ";
const int disconnectWithoutLink = 1;
const int noLinkStatus = 9;
#define HOST_TEST(name) TEST(SerivaneHost, name)
#else
#error "define VANE_HOST_NETVANE or VANE_HOST_SERIVANE"
#endif

using Entry = CDriveBaseClass* (*)();

// The host keeps every driver it obtained for the life of the process: it has no way to free one.
// (Never destroyed, so the drivers stay reachable until the process ends.)
std::vector<CDriveBaseClass*>& drivers = *new std::vector<CDriveBaseClass*>;

CDriveBaseClass* obtainDriver()
{
    void* plugin = dlopen(VANE_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!plugin) {
        ADD_FAILURE() << dlerror();
        return nullptr;
    }
    const auto entry = reinterpret_cast<Entry>(dlsym(plugin, "getSharedLibrary"));
    if (!entry) {
        ADD_FAILURE() << "no getSharedLibrary in " << VANE_PLUGIN_PATH;
        return nullptr;
    }
    drivers.push_back(entry());
    return drivers.back();
}

template <typename T>
CLabelVariable recordOf(DataType type, const QList<T>& elements)
{
    CLabelVariable record;
    record.type = type;
    record.count = elements.size();
    record.value = QVariant::fromValue(elements);
    record.status = 0;
    record.address = QStringLiteral("4x0");
    return record;
}

} // namespace

HOST_TEST(LoadsThePluginAndGetsIndependentDrivers)
{
    CDriveBaseClass* first = obtainDriver();
    CDriveBaseClass* second = obtainDriver();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    EXPECT_EQ(first->getDriveName(), QString::fromLatin1(driveName));
    EXPECT_EQ(first->DebugCmd(DriveName), QString::fromLatin1(driveName));
    EXPECT_EQ(first->getversion_number(), QString::fromLatin1(version));
    EXPECT_TRUE(first->DebugCmd(BuildTime).startsWith(QString::fromLatin1(buildPrefix)));
    EXPECT_EQ(first->DebugCmd(StartDebug), QStringLiteral("StartDebug"));
    EXPECT_TRUE(first->DebugCmd(static_cast<EDebugCmdType>(4)).isNull());
    EXPECT_EQ(first->SetConnectPar(QStringLiteral("17")), 17);
    EXPECT_EQ(second->DisConnectDrive(), disconnectWithoutLink);
    EXPECT_EQ(second->ConnectDrive(QStringLiteral("nothing")), -4);
}

HOST_TEST(RefusedReadComesBackAsAFullRecord)
{
    CDriveBaseClass* driver = obtainDriver();
    ASSERT_NE(driver, nullptr);
    CLabelVariable record = driver->ReadVariable(QStringLiteral("9x1"), Int16, 2);
    EXPECT_EQ(record.status, 3);
    EXPECT_EQ(record.address, QStringLiteral("9x1"));
    EXPECT_EQ(record.count, 2);
    EXPECT_EQ(record.type, Int16);
    EXPECT_TRUE(record.timestamp.isValid());
    EXPECT_FALSE(record.value.isValid());
    EXPECT_EQ(record.atInt16(0), 0);
    EXPECT_EQ(record.accessStatus, 11);

    record.reserved = 4;
    CLabelVariable copy(record);
    EXPECT_EQ(copy.status, 3);
    EXPECT_EQ(copy.accessStatus, 11);
    EXPECT_EQ(copy.reserved, 4);
    EXPECT_EQ(copy.timestamp, record.timestamp);

    CLabelVariable assigned;
    assigned = record;
    EXPECT_EQ(assigned.status, 3);
    EXPECT_EQ(assigned.address, QStringLiteral("9x1"));
    EXPECT_EQ(assigned.accessStatus, 1);
    EXPECT_EQ(assigned.reserved, 0);

    const CLabelVariable unlinked = driver->ReadVariable(QStringLiteral("4x0"), Int16);
    EXPECT_EQ(unlinked.status, noLinkStatus);
    EXPECT_EQ(unlinked.count, 1);
}

HOST_TEST(HostMadeValuesCrossIntoThePluginAndBack)
{
    CDriveBaseClass* driver = obtainDriver();
    ASSERT_NE(driver, nullptr);
    CLabelVariable values = recordOf(Int16, QList<short>{-7, 8});
    CLabelVariable written = driver->WriteVariable(QStringLiteral("3x0"), Int16, values, 2);
    EXPECT_EQ(written.status, 6);
    // The plug-in's accessor recognises the list the host made.
    EXPECT_EQ(written.atInt16(0), -7);
    EXPECT_EQ(written.accessStatus, 0);
    EXPECT_EQ(written.value.value<QList<short>>(), (QList<short>{-7, 8}));
}

HOST_TEST(ExportedOperatorsWorkOnHostRecords)
{
    CLabelVariable a = recordOf(Int16, QList<short>{1, 2, 3});
    CLabelVariable b = recordOf(Int16, QList<short>{10, 20, 30});
    const CLabelVariable sum = a + b;
    EXPECT_EQ(sum.value.value<QList<short>>(), (QList<short>{11, 22, 33}));
    EXPECT_EQ(sum.type, Int16);
    EXPECT_EQ((b / a).value.value<QList<short>>(), (QList<short>{10, 10, 10}));
    EXPECT_EQ((a - b).value.value<QList<short>>(), (QList<short>{-9, -18, -27}));
    EXPECT_EQ((a * b).value.value<QList<short>>(), (QList<short>{10, 40, 90}));
    EXPECT_EQ(a.accessStatus, 0);
    EXPECT_EQ(b.accessStatus, 0);

    CLabelVariable copy(a);
    EXPECT_TRUE(a == copy);
    copy.address = QStringLiteral("4x1");
    EXPECT_FALSE(a == copy);

    CLabelVariable nan = recordOf(Double, QList<double>{std::numeric_limits<double>::quiet_NaN()});
    EXPECT_FALSE(nan == nan);

    CLabelVariable bytes = recordOf(UInt8, QList<unsigned char>{200});
    CLabelVariable more = recordOf(UInt8, QList<unsigned char>{100});
    CLabelVariable wrapped = bytes + more;
    EXPECT_EQ(wrapped.atUInt8(0), 44);

    // The plug-in is built for the same target as this host: char has the same signedness.
    CLabelVariable chars = recordOf(Int8, QList<char>{static_cast<char>(0xFC)});
    CLabelVariable two = recordOf(Int8, QList<char>{2});
    CLabelVariable quotient = chars / two;
    EXPECT_EQ(static_cast<unsigned char>(quotient.atInt8(0)), std::numeric_limits<char>::is_signed ? 0xFE : 0x7E);
}
