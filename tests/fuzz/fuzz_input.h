#pragma once

// Reads typed values off a fuzzer's input, front to back; past the end everything is 0 or empty.

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool empty() const { return used_ >= size_; }

    uint8_t byte() { return used_ < size_ ? data_[used_++] : 0; }

    template <typename T>
    T number()
    {
        if constexpr (std::is_same_v<T, bool>)
            return byte() & 1; // a bool holds 0 or 1, nothing else
        T value{};
        unsigned char bytes[sizeof(T)] = {};
        for (unsigned char& b : bytes)
            b = byte();
        std::memcpy(&value, bytes, sizeof(T));
        return value;
    }

    // A length-prefixed run of bytes (at most `limit`).
    QByteArray bytes(int limit)
    {
        const int length = std::min<int>(byte() % (limit + 1), int(size_ - std::min(used_, size_)));
        QByteArray out(reinterpret_cast<const char*>(data_ + used_), length);
        used_ += size_t(length);
        return out;
    }

    // Everything not read yet.
    QByteArray rest()
    {
        const size_t from = std::min(used_, size_);
        used_ = size_;
        return QByteArray(reinterpret_cast<const char*>(data_ + from), int(size_ - from));
    }

    QString text(int limit) { return QString::fromLatin1(bytes(limit)); }

private:
    const uint8_t* data_;
    size_t size_;
    size_t used_ = 0;
};
