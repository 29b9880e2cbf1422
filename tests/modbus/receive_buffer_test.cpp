// The link's receive buffer between exchanges: a device that keeps talking while nobody asks
// cannot make it grow without bound, and what an answer needs is never cut.
#include "modbus/io/exchange.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

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

// An answer is read straight into its buffer: bytes already there stay, and more waiting than the
// buffer has room for take more room, never more than there is.
TEST(ReceiveBuffer, ReadsEverythingWaitingBehindWhatIsThere)
{
    int fds[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, fds), 0);
    QByteArray waiting(1500, '\0');
    for (int i = 0; i < waiting.size(); ++i)
        waiting[i] = static_cast<char>(i * 7);
    ASSERT_EQ(::write(fds[1], waiting.constData(), waiting.size()), waiting.size());

    QByteArray answer(300, 'a');
    answer.reserve(400); // room for 100 more only
    vane::modbus::DescriptorState state;
    EXPECT_EQ(vane::modbus::readWaiting(fds[0], &answer, state), waiting.size());
    EXPECT_FALSE(state.endOfStream);
    EXPECT_EQ(answer, QByteArray(300, 'a') + waiting);
    ::close(fds[0]);
    ::close(fds[1]);
}
