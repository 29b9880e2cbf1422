#include "type_codecs.h"

namespace vane::codecs {
namespace {

template <typename T>
int heldElements(const CLabelVariable& record)
{
    QList<T> converted;
    const QList<T>* held = heldList(record, converted);
    return held ? held->size() : -1;
}

template <typename T, Order O>
constexpr TypeCodec pair()
{
    return {&decode<T, O>, &encode<T, O>, &heldElements<T>, static_cast<int>(sizeof(T))};
}

} // namespace

namespace {

constexpr TypeCodec codecOf(DataType type)
{
    switch (type) {
    case Bool: return {&decodeBits, &encodeBits, &heldElements<bool>, 0};
    case Int8: return pair<char, Order::A>();
    case UInt8: return pair<unsigned char, Order::A>();
    case Int16:
    case Int16_AB: return pair<short, Order::AB>();
    case Int16_BA: return pair<short, Order::BA>();
    case UInt16:
    case UInt16_AB: return pair<unsigned short, Order::AB>();
    case UInt16_BA: return pair<unsigned short, Order::BA>();
    case Int32:
    case Int32_ABCD: return pair<int, Order::ABCD>();
    case Int32_BADC: return pair<int, Order::BADC>();
    case Int32_CDAB: return pair<int, Order::CDAB>();
    case Int32_DCBA: return pair<int, Order::DCBA>();
    case UInt32:
    case UInt32_ABCD: return pair<unsigned int, Order::ABCD>();
    case UInt32_BADC: return pair<unsigned int, Order::BADC>();
    case UInt32_CDAB: return pair<unsigned int, Order::CDAB>();
    case UInt32_DCBA: return pair<unsigned int, Order::DCBA>();
    case Float:
    case Float_ABCD: return pair<float, Order::ABCD>();
    case Float_BADC: return pair<float, Order::BADC>();
    case Float_CDAB: return pair<float, Order::CDAB>();
    case Float_DCBA: return pair<float, Order::DCBA>();
    case Int64: return pair<long long, Order::ABCDEFGH>();
    case UInt64: return pair<unsigned long long, Order::ABCDEFGH>();
    case Double:
    case Double_ABCDEFGH: return pair<double, Order::ABCDEFGH>();
    case Double_BADCFEHG: return pair<double, Order::BADCFEHG>();
    case Double_GHEFCDAB: return pair<double, Order::GHEFCDAB>();
    case Double_HGFEDCBA: return pair<double, Order::HGFEDCBA>();
    case NoType:
    case String: break;
    }
    return {};
}

// The codecs of every meaningful type value, looked up instead of switched on for each request.
constexpr int kLastType = Double_HGFEDCBA;
struct CodecTable {
    TypeCodec of[kLastType + 1];
    constexpr CodecTable() : of{}
    {
        for (int type = 0; type <= kLastType; ++type)
            of[type] = codecOf(static_cast<DataType>(type));
    }
};
constexpr CodecTable kCodecs;

} // namespace

TypeCodec codecFor(DataType type)
{
    return type >= 0 && type <= kLastType ? kCodecs.of[type] : TypeCodec{};
}

} // namespace vane::codecs
