#pragma once

#include "byte_order.h"

// The named decode (set_variant_*) and encode (Wset_variant_*) members every driver class carries.
// They hold no state; each forwards to the one routine of its width and byte order.
#define VANE_DECODER(name, T, order) \
    QVariant name(QByteArray bytes, int n) { return vane::codecs::decode<T, vane::codecs::Order::order>(bytes, n); }
#define VANE_ENCODER(name, T, order) \
    int name(CLabelVariable value, int n, QByteArray* out) \
    { \
        return vane::codecs::encode<T, vane::codecs::Order::order>(value, n, out); \
    }
#define VANE_CODECS(decoder, encoder, T, order) VANE_DECODER(decoder, T, order) VANE_ENCODER(encoder, T, order)

#define VANE_CODEC_MEMBERS \
    QVariant set_variant_bool(QByteArray bytes, int n) { return vane::codecs::decodeBits(bytes, n); } \
    int Wset_variant_bool(CLabelVariable value, int n, QByteArray* out) \
    { \
        return vane::codecs::encodeBits(value, n, out); \
    } \
    VANE_CODECS(set_variant_Int8, Wset_variant_Int8, char, A) \
    VANE_CODECS(set_variant_UInt8, Wset_variant_UInt8, unsigned char, A) \
    VANE_CODECS(set_variant_Int16, Wset_variant_Int16, short, AB) \
    VANE_CODECS(set_variant_UInt16, Wset_variant_uInt16, unsigned short, AB) \
    VANE_CODECS(set_variant_Int32, Wset_variant_Int32, int, ABCD) \
    VANE_CODECS(set_variant_UInt32, Wset_variant_UInt32, unsigned int, ABCD) \
    VANE_CODECS(set_variant_fload, Wset_variant_float, float, ABCD) \
    VANE_CODECS(set_variant_Int64, Wset_variant_Int64, long long, ABCDEFGH) \
    VANE_CODECS(set_variant_UInt64, Wset_variant_UInt64, unsigned long long, ABCDEFGH) \
    VANE_CODECS(set_variant_double, Wset_variant_double, double, ABCDEFGH) \
    VANE_CODECS(set_variant_int16_AB, Wset_variant_int16_AB, short, AB) \
    VANE_CODECS(set_variant_int16_BA, Wset_variant_int16_BA, short, BA) \
    VANE_CODECS(set_variant_uint16_AB, Wset_variant_uint16_AB, unsigned short, AB) \
    VANE_CODECS(set_variant_uint16_BA, Wset_variant_uint16_BA, unsigned short, BA) \
    VANE_CODECS(set_variant_int32_ABCD, Wset_variant_int32_ABCD, int, ABCD) \
    VANE_CODECS(set_variant_int32_BADC, Wset_variant_int32_BADC, int, BADC) \
    VANE_CODECS(set_variant_int32_CDAB, Wset_variant_int32_CDAB, int, CDAB) \
    VANE_CODECS(set_variant_int32_DCBA, Wset_variant_int32_DCBA, int, DCBA) \
    VANE_CODECS(set_variant_uint32_ABCD, Wset_variant_uint32_ABCD, unsigned int, ABCD) \
    VANE_CODECS(set_variant_uint32_BADC, Wset_variant_uint32_BADC, unsigned int, BADC) \
    VANE_CODECS(set_variant_uint32_CDAB, Wset_variant_uint32_CDAB, unsigned int, CDAB) \
    VANE_CODECS(set_variant_uint32_DCBA, Wset_variant_uint32_DCBA, unsigned int, DCBA) \
    VANE_CODECS(set_variant_float_ABCD, Wset_variant_float_ABCD, float, ABCD) \
    VANE_CODECS(set_variant_float_BADC, Wset_variant_float_BADC, float, BADC) \
    VANE_CODECS(set_variant_float_CDAB, Wset_variant_float_CDAB, float, CDAB) \
    VANE_CODECS(set_variant_float_DCBA, Wset_variant_float_DCBA, float, DCBA) \
    VANE_CODECS(set_variant_double_ABCDEFGH, Wset_variant_double_ABCDEFGH, double, ABCDEFGH) \
    VANE_CODECS(set_variant_double_BADCFEHG, Wset_variant_double_BADCFEHG, double, BADCFEHG) \
    VANE_CODECS(set_variant_double_GHEFCDAB, Wset_variant_double_GHEFCDAB, double, GHEFCDAB) \
    VANE_CODECS(set_variant_double_HGFEDCBA, Wset_variant_double_HGFEDCBA, double, HGFEDCBA)
