// Label value records built from arbitrary input (any type number, any element list, any count)
// through the arithmetic and comparison operators and the element accessors: none may trap or
// run into undefined behaviour.
#include "fuzz_input.h"
#include "labelvalue/CLabelVariable.h"

#include <QList>

namespace {

template <typename T>
QVariant listOf(FuzzInput& in)
{
    QList<T> list;
    const int n = in.byte() % 9;
    for (int i = 0; i < n; ++i)
        list << in.number<T>();
    return QVariant::fromValue(list);
}

CLabelVariable record(FuzzInput& in)
{
    CLabelVariable r;
    const uint8_t t = in.byte();
    r.type = static_cast<DataType>(t < 0xF0 ? t % 42 : in.number<int>());
    r.count = in.byte() < 0xF0 ? in.byte() % 10 : in.number<int>();
    r.status = in.byte() % 3;
    switch (in.byte() % 14) {
    case 0: r.value = listOf<bool>(in); break;
    case 1: r.value = listOf<char>(in); break;
    case 2: r.value = listOf<unsigned char>(in); break;
    case 3: r.value = listOf<short>(in); break;
    case 4: r.value = listOf<unsigned short>(in); break;
    case 5: r.value = listOf<int>(in); break;
    case 6: r.value = listOf<unsigned int>(in); break;
    case 7: r.value = listOf<float>(in); break;
    case 8: r.value = listOf<long long>(in); break;
    case 9: r.value = listOf<unsigned long long>(in); break;
    case 10: r.value = listOf<double>(in); break;
    case 11: r.value = QVariant::fromValue(QList<QString>{in.text(8), in.text(8)}); break;
    case 12: r.value = QVariant(in.number<int>()); break;
    default: break; // no value at all
    }
    return r;
}

void readEverything(CLabelVariable& r, int index)
{
    (void)r.atbool(index);
    (void)r.atchar(index);
    (void)r.atInt8(index);
    (void)r.atUInt8(index);
    (void)r.atInt16(index);
    (void)r.atUInt16(index);
    (void)r.atInt32(index);
    (void)r.atUInt32(index);
    (void)r.atFloat(index);
    (void)r.atInt64(index);
    (void)r.atUInt64(index);
    (void)r.atDouble(index);
    (void)r.atQString(index);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    CLabelVariable a = record(in);
    CLabelVariable b = record(in);
    CLabelVariable results[] = {a + b, a - b, a * b, a / b};
    (void)(a == b);
    (void)(b == a);
    (void)(a == a);
    const int index = in.byte() < 0xF0 ? in.byte() % 10 : in.number<int>();
    readEverything(a, index);
    for (CLabelVariable& r : results)
        readEverything(r, index);
    return 0;
}
