#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "tag_list.h"

using namespace vane::host;

TEST(TagCount, AcceptsOneTo65535Only)
{
    int count = 0;
    QString error;
    EXPECT_TRUE(parseCount(QStringLiteral("1"), &count, &error));
    EXPECT_EQ(count, 1);
    EXPECT_TRUE(parseCount(QStringLiteral("65535"), &count, &error));
    EXPECT_EQ(count, 65535);
    for (const char* bad : {"0", "-1", "65536", "abc", "", "2.5", "+3", "0x10"}) {
        count = 7;
        EXPECT_FALSE(parseCount(QLatin1String(bad), &count, &error)) << bad;
        EXPECT_EQ(count, 7);
        EXPECT_TRUE(error.contains(QStringLiteral("bad count"))) << error.toStdString();
    }
}

TEST(TagArgument, AddressTypeAndOptionalCount)
{
    TagSpec tag;
    QString error;
    ASSERT_TRUE(parseTagArgument(QStringLiteral("4x100:float_cdab:2"), &tag, &error)) << error.toStdString();
    EXPECT_EQ(tag.address, QStringLiteral("4x100"));
    EXPECT_EQ(tag.type, Float_CDAB);
    EXPECT_EQ(tag.count, 2);
    ASSERT_TRUE(parseTagArgument(QStringLiteral("0x7:Bool"), &tag, &error));
    EXPECT_EQ(tag.count, 1);
    // The address is the driver's to judge: the host passes it on as written.
    ASSERT_TRUE(parseTagArgument(QStringLiteral("9x1:UInt16"), &tag, &error));
    EXPECT_EQ(tag.address, QStringLiteral("9x1"));
}

TEST(TagArgument, MalformedTagsNameTheTagAndTheProblem)
{
    TagSpec tag;
    QString error;
    EXPECT_FALSE(parseTagArgument(QStringLiteral("4x100"), &tag, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("'4x100'")));
    EXPECT_FALSE(parseTagArgument(QStringLiteral("4x100:Float:2:9"), &tag, &error));
    EXPECT_FALSE(parseTagArgument(QStringLiteral(":Float"), &tag, &error));
    EXPECT_FALSE(parseTagArgument(QStringLiteral("4x100:Real"), &tag, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("unknown data type 'Real'"))) << error.toStdString();
    EXPECT_FALSE(parseTagArgument(QStringLiteral("4x100:Float:0"), &tag, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("bad count '0'"))) << error.toStdString();
}

TEST(TagFile, OneTagPerLineWithCommentsAndBlankLines)
{
    const QString text = QStringLiteral("# plant tags\n"
                                        "\n"
                                        "4x100   UInt16        # heartbeat\n"
                                        "\t3x103 Float_ABCD 2\r\n"
                                        "   # indented comment\n"
                                        "0x0 bool 16");
    QList<TagSpec> tags;
    QString error;
    ASSERT_TRUE(parseTagFile(text, &tags, &error)) << error.toStdString();
    ASSERT_EQ(tags.size(), 3);
    EXPECT_EQ(tags.at(0).address, QStringLiteral("4x100"));
    EXPECT_EQ(tags.at(0).type, UInt16);
    EXPECT_EQ(tags.at(0).count, 1);
    EXPECT_EQ(tags.at(1).address, QStringLiteral("3x103"));
    EXPECT_EQ(tags.at(1).type, Float_ABCD);
    EXPECT_EQ(tags.at(1).count, 2);
    EXPECT_EQ(tags.at(2).type, Bool);
    EXPECT_EQ(tags.at(2).count, 16);
}

TEST(TagFile, ErrorsNameTheLine)
{
    QList<TagSpec> tags;
    QString error;
    EXPECT_FALSE(parseTagFile(QStringLiteral("4x0 UInt16\n# ok\n4x1 Uint17\n"), &tags, &error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("line 3: unknown data type 'Uint17'"))) << error.toStdString();
    EXPECT_FALSE(parseTagFile(QStringLiteral("4x0 UInt16 1 extra"), &tags, &error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("line 1:"))) << error.toStdString();
    EXPECT_FALSE(parseTagFile(QStringLiteral("\n4x0 UInt16 many"), &tags, &error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("line 2: bad count"))) << error.toStdString();
}

TEST(TagFile, ReadingNamesThePath)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QList<TagSpec> tags;
    QString error;
    const QString missing = dir.filePath(QStringLiteral("missing.tags"));
    EXPECT_FALSE(readTagFile(missing, &tags, &error));
    EXPECT_TRUE(error.contains(missing)) << error.toStdString();

    const QString path = dir.filePath(QStringLiteral("bad.tags"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("4x0 UInt16\n4x1 Nope\n");
    file.close();
    EXPECT_FALSE(readTagFile(path, &tags, &error));
    EXPECT_TRUE(error.startsWith(path + QStringLiteral(": line 2:"))) << error.toStdString();
}
