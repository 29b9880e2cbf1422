#include "mbap.h"

#include <algorithm>
#include <cstdlib>

namespace vane::tcp {

namespace {
// Bytes up to and including the length field; the length counts what follows.
constexpr int kLengthEnd = 6;
} // namespace

QByteArray mbapFrame(int unitId, QByteArray pdu)
{
    const int length = pdu.size() + 1;
    const char high = static_cast<char>(std::rand() & 0xFF);
    const char low = static_cast<char>(std::rand() & 0xFF);
    const char header[kMbapHeaderSize] = {high, low, 0, 0, static_cast<char>((length >> 8) & 0xFF),
                                          static_cast<char>(length & 0xFF), static_cast<char>(unitId & 0xFF)};
    pdu.prepend(header, kMbapHeaderSize);
    return pdu;
}

int mbapAnswerSize(const QByteArray& received, int, int expectedSize)
{
    int size = std::max(expectedSize, 0);
    if (received.size() >= kLengthEnd) {
        const int length = (static_cast<unsigned char>(received.at(4)) << 8) | static_cast<unsigned char>(received.at(5));
        const int framed = kLengthEnd + length;
        size = size > 0 ? std::min(size, framed) : framed;
    }
    return size;
}

bool sameTransaction(const QByteArray& answer, const QByteArray& request)
{
    return answer.size() >= 2 && request.size() >= 2 && answer.at(0) == request.at(0) && answer.at(1) == request.at(1);
}

} // namespace vane::tcp
