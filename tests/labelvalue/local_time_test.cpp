// A record's timestamp is the local time of the C library under which the driver runs. glibc and
// uClibc-ng agree on POSIX TZ strings ("JST-9", "CET-1CEST,M3.5.0,M10.5.0/3"); uClibc-ng does not
// read the zoneinfo database, so a zone name ("Asia/Tokyo") gives UTC there while glibc gives the
// zone's offset. The instant is right on both: only the clock time shown differs. A panel running
// uClibc states its zone as a POSIX string (TZ or /etc/TZ).
#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <ctime>

#include "record_builder.h"

namespace {

// The zone of a test, restored afterwards.
class ZoneOf
{
public:
    explicit ZoneOf(const char* zone) : saved(qgetenv("TZ")), hadZone(qEnvironmentVariableIsSet("TZ"))
    {
        qputenv("TZ", zone);
        tzset();
    }
    ~ZoneOf()
    {
        if (hadZone)
            qputenv("TZ", saved);
        else
            qunsetenv("TZ");
        tzset();
    }
    ZoneOf(const ZoneOf&) = delete;
    ZoneOf& operator=(const ZoneOf&) = delete;

private:
    QByteArray saved;
    bool hadZone;
};

// A record stamped by the library: the sum of two records carries the time it was made.
QDateTime stampedNow()
{
    CLabelVariable a = recordOf(Int16, QList<short>{1});
    CLabelVariable b = recordOf(Int16, QList<short>{2});
    return (a + b).timestamp;
}

void expectInstantIsNow(const QDateTime& stamp)
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    EXPECT_LE(qAbs(now - stamp.toMSecsSinceEpoch()), 60 * 1000) << stamp.toString(Qt::ISODate).toStdString();
}

} // namespace

TEST(RecordLocalTime, PosixZoneStringGivesItsOffsetOnEveryCLibrary)
{
    ZoneOf zone("JST-9");
    const QDateTime stamp = stampedNow();
    EXPECT_EQ(stamp.timeSpec(), Qt::LocalTime);
    EXPECT_EQ(stamp.offsetFromUtc(), 9 * 3600);
    expectInstantIsNow(stamp);
}

TEST(RecordLocalTime, ZoneNameIsReadOnlyWhereTheCLibraryReadsZoneinfo)
{
    if (!QFile::exists(QStringLiteral("/usr/share/zoneinfo/Asia/Tokyo")))
        GTEST_SKIP() << "no zoneinfo database on this machine";
    ZoneOf zone("Asia/Tokyo");
    const QDateTime stamp = stampedNow();
#ifdef __UCLIBC__
    EXPECT_EQ(stamp.offsetFromUtc(), 0) << "uClibc-ng takes a zone name it cannot parse as UTC";
#else
    EXPECT_EQ(stamp.offsetFromUtc(), 9 * 3600);
#endif
    expectInstantIsNow(stamp);
}
