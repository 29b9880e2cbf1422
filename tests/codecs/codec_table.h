#pragma once

// Every data type that has a register codec, with the element width and byte order it stands for,
// and type-erased helpers to look at a decoded element list as raw bit patterns.
#include <QByteArray>
#include <QList>
#include <QVariant>

#include <cstdint>
#include <cstring>
#include <vector>

#include "contract/data_type.h"
#include "labelvalue/CLabelVariable.h"

namespace codectest {

template <typename T>
std::uint64_t patternOf(T element)
{
    if constexpr (sizeof(T) == 1) {
        std::uint8_t narrow;
        std::memcpy(&narrow, &element, 1);
        return narrow;
    } else if constexpr (sizeof(T) == 2) {
        std::uint16_t narrow;
        std::memcpy(&narrow, &element, 2);
        return narrow;
    } else if constexpr (sizeof(T) == 4) {
        std::uint32_t narrow;
        std::memcpy(&narrow, &element, 4);
        return narrow;
    } else {
        std::uint64_t wide;
        std::memcpy(&wide, &element, 8);
        return wide;
    }
}

template <typename T>
struct ListView {
    static int listType() { return qMetaTypeId<QList<T>>(); }
    static int size(const QVariant& v) { return v.value<QList<T>>().size(); }
    static std::uint64_t at(const QVariant& v, int i) { return patternOf(v.value<QList<T>>().at(i)); }
};

struct CodecRow {
    DataType type;
    const char* order; // letters of the value's bytes in wire order; "" for the bit codec
    int width;         // bytes per element; 0 for the bit codec
    int (*listType)();
    int (*size)(const QVariant&);
    std::uint64_t (*at)(const QVariant&, int);
};

template <typename T>
CodecRow row(DataType type, const char* order)
{
    return {type, order, static_cast<int>(sizeof(T)), &ListView<T>::listType, &ListView<T>::size, &ListView<T>::at};
}

inline std::vector<CodecRow> byteCodecRows()
{
    return {
        row<char>(Int8, "A"),
        row<unsigned char>(UInt8, "A"),
        row<short>(Int16, "AB"),
        row<unsigned short>(UInt16, "AB"),
        row<int>(Int32, "ABCD"),
        row<unsigned int>(UInt32, "ABCD"),
        row<float>(Float, "ABCD"),
        row<long long>(Int64, "ABCDEFGH"),
        row<unsigned long long>(UInt64, "ABCDEFGH"),
        row<double>(Double, "ABCDEFGH"),
        row<short>(Int16_AB, "AB"),
        row<short>(Int16_BA, "BA"),
        row<unsigned short>(UInt16_AB, "AB"),
        row<unsigned short>(UInt16_BA, "BA"),
        row<int>(Int32_ABCD, "ABCD"),
        row<int>(Int32_BADC, "BADC"),
        row<int>(Int32_CDAB, "CDAB"),
        row<int>(Int32_DCBA, "DCBA"),
        row<unsigned int>(UInt32_ABCD, "ABCD"),
        row<unsigned int>(UInt32_BADC, "BADC"),
        row<unsigned int>(UInt32_CDAB, "CDAB"),
        row<unsigned int>(UInt32_DCBA, "DCBA"),
        row<float>(Float_ABCD, "ABCD"),
        row<float>(Float_BADC, "BADC"),
        row<float>(Float_CDAB, "CDAB"),
        row<float>(Float_DCBA, "DCBA"),
        row<double>(Double_ABCDEFGH, "ABCDEFGH"),
        row<double>(Double_BADCFEHG, "BADCFEHG"),
        row<double>(Double_GHEFCDAB, "GHEFCDAB"),
        row<double>(Double_HGFEDCBA, "HGFEDCBA"),
    };
}

// Letter L of a value is the byte 0x10 + (L - 'A'); so the value whose bytes, most significant
// first, are 10 11 12 ... stands on the wire in the order the codec's letters give.
inline QByteArray letteredBytes(const char* order)
{
    QByteArray bytes;
    for (const char* letter = order; *letter; ++letter)
        bytes.append(static_cast<char>(0x10 + (*letter - 'A')));
    return bytes;
}

inline std::uint64_t letteredValue(int width)
{
    std::uint64_t value = 0;
    for (int k = 0; k < width; ++k)
        value = (value << 8) | static_cast<std::uint64_t>(0x10 + k);
    return value;
}

inline QByteArray hex(const char* text) { return QByteArray::fromHex(text); }

template <typename T>
CLabelVariable recordOf(const QList<T>& elements)
{
    CLabelVariable record;
    record.value = QVariant::fromValue(elements);
    return record;
}

} // namespace codectest
