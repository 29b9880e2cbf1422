#pragma once

#include "byte_order.h"
#include "contract/data_type.h"

namespace vane::codecs {

using Decoder = QVariant (*)(const QByteArray& bytes, int n);
using Encoder = int (*)(const CLabelVariable& record, int n, QByteArray* out);
// Elements the record's value holds as this codec's list type; -1 when it holds another type.
using HeldCount = int (*)(const CLabelVariable& record);

// The codec pair a data type names, with the bytes one element takes (0 for the bit codecs).
// Types without codecs (NoType, String, 25 to 32, above 40) give null members.
struct TypeCodec {
    Decoder decode = nullptr;
    Encoder encode = nullptr;
    HeldCount held = nullptr;
    int width = 0;
};

TypeCodec codecFor(DataType type);

} // namespace vane::codecs
