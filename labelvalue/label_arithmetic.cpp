// Element-wise arithmetic and comparison of records, for the host.
#include <QList>

#include <limits>
#include <type_traits>

#include "CLabelVariable.h"
#include "element_access.h"

namespace {

using vane::labelvalue::elementAt;

enum class Op { Add, Subtract, Multiply, Divide };

// Integers wrap to their width (computed unsigned, so nothing overflows); division truncates and
// never traps: a zero divisor gives 0, the most negative value divided by -1 gives itself.
template <typename T>
T apply(Op op, T a, T b)
{
    if constexpr (std::is_same_v<T, bool>) {
        switch (op) {
        case Op::Add: return a || b;
        case Op::Subtract: return a != b;
        case Op::Multiply: return a && b;
        case Op::Divide: return b ? a : false;
        }
    } else if constexpr (std::is_floating_point_v<T>) {
        switch (op) {
        case Op::Add: return a + b;
        case Op::Subtract: return a - b;
        case Op::Multiply: return a * b;
        case Op::Divide: return a / b;
        }
    } else {
        using Wide = unsigned long long;
        const Wide ua = static_cast<std::make_unsigned_t<T>>(a);
        const Wide ub = static_cast<std::make_unsigned_t<T>>(b);
        switch (op) {
        case Op::Add: return static_cast<T>(ua + ub);
        case Op::Subtract: return static_cast<T>(ua - ub);
        case Op::Multiply: return static_cast<T>(ua * ub);
        case Op::Divide:
            if (b == 0)
                return 0;
            if constexpr (sizeof(T) < sizeof(int)) {
                return static_cast<T>(static_cast<int>(a) / static_cast<int>(b));
            } else {
                if (std::is_signed_v<T> && a == std::numeric_limits<T>::min() && b == static_cast<T>(-1))
                    return a;
                return static_cast<T>(a / b);
            }
        }
    }
    return T();
}

template <typename T>
CLabelVariable combineAs(CLabelVariable& left, const CLabelVariable& right, Op op)
{
    CLabelVariable result;
    result.status = right.status;
    result.address = right.address;
    result.count = right.count;
    result.type = right.type;
    result.reservedText = right.reservedText;
    result.timestamp = QDateTime::currentDateTime();

    QList<T> elements;
    const int n = left.count;
    if (left.value.value<QList<T>>().size() == n && right.value.value<QList<T>>().size() == n) {
        for (int i = 0; i < n; ++i) {
            const T a = elementAt<T>(left, i);
            const T b = elementAt<T>(right, i);
            elements.append(apply(op, a, b));
        }
    }
    result.value = QVariant::fromValue(elements);
    return result;
}

template <typename T>
bool equalAs(CLabelVariable& left, const CLabelVariable& right, bool headerMatch)
{
    const int n = left.count;
    if (left.value.value<QList<T>>().size() != n || right.value.value<QList<T>>().size() != n)
        return false;
    if (n <= 0)
        return headerMatch;
    for (int i = 0; i < n; ++i) {
        const T a = elementAt<T>(left, i);
        const T b = elementAt<T>(right, i);
        if (!(a == b))
            return false;
    }
    return headerMatch;
}

// Calls f with a value of the element type that the left operand's type selects; returns false
// when the type has no element type.
template <typename F>
bool withElementType(DataType type, F&& f)
{
    switch (type) {
    case Bool: f(bool()); return true;
    case Int8: f(char()); return true;
    case UInt8: f(static_cast<unsigned char>(0)); return true;
    case Int16:
    case Int16_AB:
    case Int16_BA: f(short()); return true;
    case UInt16:
    case UInt16_AB:
    case UInt16_BA: f(static_cast<unsigned short>(0)); return true;
    case Int32:
    case Int32_ABCD:
    case Int32_BADC:
    case Int32_CDAB:
    case Int32_DCBA: f(int()); return true;
    case UInt32:
    case UInt32_ABCD:
    case UInt32_BADC:
    case UInt32_CDAB:
    case UInt32_DCBA: f(0u); return true;
    case Float:
    case Float_ABCD:
    case Float_BADC:
    case Float_CDAB:
    case Float_DCBA: f(float()); return true;
    case Int64: f(0LL); return true;
    case UInt64: f(0ULL); return true;
    case Double:
    case Double_ABCDEFGH:
    case Double_BADCFEHG:
    case Double_GHEFCDAB:
    case Double_HGFEDCBA: f(double()); return true;
    case String: f(QString()); return true;
    case NoType: break;
    }
    return false;
}

CLabelVariable combine(CLabelVariable& left, const CLabelVariable& right, Op op)
{
    // A String left operand is added as doubles (and so yields an empty list); the other
    // operators have nothing to do with strings.
    DataType branch = left.type;
    if (branch == String)
        branch = op == Op::Add ? Double : NoType;
    CLabelVariable result;
    withElementType(branch, [&](auto element) {
        using T = decltype(element);
        if constexpr (!std::is_same_v<T, QString>)
            result = combineAs<T>(left, right, op);
    });
    return result;
}

} // namespace

CLabelVariable CLabelVariable::operator+(const CLabelVariable& other) { return combine(*this, other, Op::Add); }
CLabelVariable CLabelVariable::operator-(const CLabelVariable& other) { return combine(*this, other, Op::Subtract); }
CLabelVariable CLabelVariable::operator*(const CLabelVariable& other) { return combine(*this, other, Op::Multiply); }
CLabelVariable CLabelVariable::operator/(const CLabelVariable& other) { return combine(*this, other, Op::Divide); }

bool CLabelVariable::operator==(const CLabelVariable& other)
{
    const bool headerMatch = status == other.status && address == other.address && count == other.count
        && type == other.type && reservedText == other.reservedText;
    bool equal = headerMatch;
    withElementType(type, [&](auto element) { equal = equalAs<decltype(element)>(*this, other, headerMatch); });
    return equal;
}
