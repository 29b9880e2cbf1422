// The link's receive buffer between exchanges: a device that keeps talking while nobody asks
// cannot make it grow without bound, and what an answer needs is never cut.
#include "modbus/exchange.h"

#include <gtest/gtest.h>

using vane::modbus::appendReceived;

TEST(ReceiveBuffer, KeepsWholeAnswersAndOnlyTheNewestBytesOfAnEndlessStream)
{
    QByteArray received;
    const QByteArray longestAnswer(260, 'a');
    appendReceived(received, longestAnswer.left(100));
    appendReceived(received, longestAnswer.mid(100));
    EXPECT_EQ(received, longestAnswer);

    for (int i = 0; i < 1000; ++i)
        appendReceived(received, QByteArray(100, static_cast<char>('0' + i % 10)));
    EXPECT_LE(received.size(), 4096);
    EXPECT_GE(received.size(), 1024);
    EXPECT_TRUE(received.endsWith(QByteArray(100, '9')));
}
