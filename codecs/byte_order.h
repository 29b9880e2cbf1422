#pragma once

#include <QByteArray>
#include <QList>
#include <QVariant>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <type_traits>

#include "labelvalue/CLabelVariable.h"

namespace vane::codecs {

// A byte order names the value's bytes in the order they stand on the wire; 'A' is the most
// significant byte.
enum class Order { A, AB, BA, ABCD, BADC, CDAB, DCBA, ABCDEFGH, BADCFEHG, GHEFCDAB, HGFEDCBA };

constexpr const char* letters(Order order)
{
    switch (order) {
    case Order::A: return "A";
    case Order::AB: return "AB";
    case Order::BA: return "BA";
    case Order::ABCD: return "ABCD";
    case Order::BADC: return "BADC";
    case Order::CDAB: return "CDAB";
    case Order::DCBA: return "DCBA";
    case Order::ABCDEFGH: return "ABCDEFGH";
    case Order::BADCFEHG: return "BADCFEHG";
    case Order::GHEFCDAB: return "GHEFCDAB";
    case Order::HGFEDCBA: return "HGFEDCBA";
    }
    return "";
}

// Shift, in bits, of the byte standing at wire position k of a w-byte value.
constexpr int laneShift(Order order, int width, int k)
{
    return 8 * (width - 1 - (letters(order)[k] - 'A'));
}

// Bit patterns: codecs move them and never convert numerically.
template <typename T>
std::uint64_t bitsOf(T element)
{
    static_assert(sizeof(T) <= sizeof(std::uint64_t));
    std::uint64_t bits = 0;
    if constexpr (sizeof(T) == 1) {
        std::uint8_t narrow;
        std::memcpy(&narrow, &element, 1);
        bits = narrow;
    } else if constexpr (sizeof(T) == 2) {
        std::uint16_t narrow;
        std::memcpy(&narrow, &element, 2);
        bits = narrow;
    } else if constexpr (sizeof(T) == 4) {
        std::uint32_t narrow;
        std::memcpy(&narrow, &element, 4);
        bits = narrow;
    } else {
        std::memcpy(&bits, &element, 8);
    }
    return bits;
}

template <typename T>
T fromBits(std::uint64_t bits)
{
    T element;
    if constexpr (sizeof(T) == 1) {
        const auto narrow = static_cast<std::uint8_t>(bits);
        std::memcpy(&element, &narrow, 1);
    } else if constexpr (sizeof(T) == 2) {
        const auto narrow = static_cast<std::uint16_t>(bits);
        std::memcpy(&element, &narrow, 2);
    } else if constexpr (sizeof(T) == 4) {
        const auto narrow = static_cast<std::uint32_t>(bits);
        std::memcpy(&element, &narrow, 4);
    } else {
        std::memcpy(&element, &bits, 8);
    }
    return element;
}

// A list of n elements, element i having the bit pattern bitsOf(i). QList keeps an element no
// larger than a pointer (and movable) at the start of its node, in the node array itself: such a
// list gets its n nodes in one step and each node is written whole, the element's bytes first and
// zeros behind them (a loop the compiler can vectorize). Other element types are appended.
template <typename T, typename Bits>
QList<T> listOf(int n, Bits bitsOf)
{
    QList<T> list;
    if (n <= 0)
        return list;
    list.reserve(n);
    if constexpr (!QTypeInfo<T>::isLarge && !QTypeInfo<T>::isStatic && Q_BYTE_ORDER == Q_LITTLE_ENDIAN) {
        // QList's one data member is its QListData: a pointer to the list is one to that.
        static_assert(std::is_standard_layout_v<QList<T>> && sizeof(QList<T>) == sizeof(QListData));
        static_assert(sizeof(T) <= sizeof(std::uintptr_t));
        void** nodes = reinterpret_cast<QListData*>(&list)->append(n);
        for (int i = 0; i < n; ++i) {
            const auto node = static_cast<std::uintptr_t>(bitsOf(i));
            std::memcpy(nodes + i, &node, sizeof node);
        }
    } else {
        for (int i = 0; i < n; ++i)
            list.append(fromBits<T>(bitsOf(i)));
    }
    return list;
}

// n elements from the start of bytes; a byte beyond the end reads as 0.
template <typename T, Order O>
QVariant decode(const QByteArray& bytes, int n)
{
    constexpr int width = sizeof(T);
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.constData());
    const qint64 size = bytes.size();
    QList<T> elements;
    if (static_cast<qint64>(n) * width <= size) {
        elements = listOf<T>(n, [data](int i) {
            // The element's bytes in one load, then moved to their lanes.
            using Raw = std::conditional_t<width == 1, std::uint8_t,
                        std::conditional_t<width == 2, std::uint16_t,
                        std::conditional_t<width == 4, std::uint32_t, std::uint64_t>>>;
            Raw raw;
            std::memcpy(&raw, data + static_cast<qint64>(i) * width, width);
            Raw bits = 0;
            for (int k = 0; k < width; ++k) {
                const int atByte = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? k : width - 1 - k;
                bits |= static_cast<Raw>(((std::uint64_t(raw) >> (8 * atByte)) & 0xFFu) << laneShift(O, width, k));
            }
            return std::uint64_t(bits);
        });
    } else {
        elements = listOf<T>(n, [data, size](int i) {
            std::uint64_t bits = 0;
            for (int k = 0; k < width; ++k) {
                const qint64 at = static_cast<qint64>(i) * width + k;
                bits |= std::uint64_t(at < size ? data[at] : 0) << laneShift(O, width, k);
            }
            return bits;
        });
    }
    return QVariant::fromValue(elements);
}

// The record's list of T: the value's own when it holds exactly that list, else a copy converted
// into `converted`; null when the value does not convert.
template <typename T>
const QList<T>* heldList(const CLabelVariable& record, QList<T>& converted)
{
    if (record.value.userType() == qMetaTypeId<QList<T>>())
        return static_cast<const QList<T>*>(record.value.constData());
    if (!record.value.canConvert<QList<T>>())
        return nullptr;
    converted = record.value.value<QList<T>>();
    return &converted;
}

// Appends the first n elements of the record's list; nothing for a list of another type, and no
// bytes for elements the list does not hold.
template <typename T, Order O>
int encode(const CLabelVariable& record, int n, QByteArray* out)
{
    constexpr int width = sizeof(T);
    QList<T> converted;
    const QList<T>* held = heldList(record, converted);
    if (!held)
        return 0;
    const QList<T>& elements = *held;
    const int written = std::max(0, std::min(n, elements.size()));
    const int before = out->size();
    out->resize(before + written * width);
    auto* to = reinterpret_cast<std::uint8_t*>(out->data()) + before;
    for (int i = 0; i < written; ++i) {
        const std::uint64_t bits = bitsOf(elements.at(i));
        for (int k = 0; k < width; ++k)
            *to++ = static_cast<std::uint8_t>((bits >> laneShift(O, width, k)) & 0xFF);
    }
    return written;
}

// Coils and discrete inputs: bit j of byte k is element 8k + j.
QVariant decodeBits(const QByteArray& bytes, int n);
int encodeBits(const CLabelVariable& record, int n, QByteArray* out);

} // namespace vane::codecs
