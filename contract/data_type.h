#pragma once

// Element type of a tag. The values are shared with separately built hosts and never change. A
// host may pass any 32-bit value (those without a meaning are refused), hence the fixed type.
enum DataType : int {
    NoType = 0,
    Bool = 1,
    Int8 = 2,
    UInt8 = 3,
    Int16 = 4,
    UInt16 = 5,
    Int32 = 6,
    UInt32 = 7,
    Float = 8,
    Int64 = 9,
    UInt64 = 10,
    Double = 11,
    String = 12,
    Int16_AB = 13,
    Int16_BA = 14,
    UInt16_AB = 15,
    UInt16_BA = 16,
    Int32_ABCD = 17,
    Int32_BADC = 18,
    Int32_CDAB = 19,
    Int32_DCBA = 20,
    UInt32_ABCD = 21,
    UInt32_BADC = 22,
    UInt32_CDAB = 23,
    UInt32_DCBA = 24,
    // 25 to 32 have no meaning to the drivers.
    Float_ABCD = 33,
    Float_BADC = 34,
    Float_CDAB = 35,
    Float_DCBA = 36,
    Double_ABCDEFGH = 37,
    Double_BADCFEHG = 38,
    Double_GHEFCDAB = 39,
    Double_HGFEDCBA = 40,
};

enum EDebugCmdType : int {
    StartDebug = 0,
    StopDebug = 1,
    BuildTime = 2,
    DriveName = 3,
};
