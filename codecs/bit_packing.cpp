#include "byte_order.h"

namespace vane::codecs {

QVariant decodeBits(const QByteArray& bytes, int n)
{
    QList<bool> bits;
    for (const char byte : bytes)
        for (int j = 0; j < 8; ++j)
            bits.append(((static_cast<unsigned char>(byte) >> j) & 1) != 0);
    return QVariant::fromValue(n > 0 ? bits.mid(0, n) : QList<bool>());
}

int encodeBits(const CLabelVariable& record, int n, QByteArray* out)
{
    if (!record.value.canConvert<QList<bool>>())
        return 0;
    const QList<bool> bits = record.value.value<QList<bool>>();
    const int byteCount = n > 0 ? (n + 7) / 8 : 0;
    for (int k = 0; k < byteCount; ++k) {
        unsigned char byte = 0;
        for (int j = 0; j < 8; ++j) {
            const int index = 8 * k + j;
            if (index < n && index < bits.size() && bits.at(index))
                byte |= static_cast<unsigned char>(1u << j);
        }
        out->append(static_cast<char>(byte));
    }
    return byteCount;
}

} // namespace vane::codecs
