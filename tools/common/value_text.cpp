// Data type names, and the texts of the values a record carries: parsed for a write, printed for
// a reader.
#include "tools/common/value_text.h"

#include <QList>

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>

#include "tools/common/json_text.h"

namespace vane {

namespace {

struct TypeEntry {
    DataType type;
    const char* name;
    ElementKind kind;
};

const TypeEntry typeTable[] = {
    {NoType, "NoType", ElementKind::None},
    {Bool, "Bool", ElementKind::Bool},
    {Int8, "Int8", ElementKind::Int8},
    {UInt8, "UInt8", ElementKind::UInt8},
    {Int16, "Int16", ElementKind::Int16},
    {UInt16, "UInt16", ElementKind::UInt16},
    {Int32, "Int32", ElementKind::Int32},
    {UInt32, "UInt32", ElementKind::UInt32},
    {Float, "Float", ElementKind::Float},
    {Int64, "Int64", ElementKind::Int64},
    {UInt64, "UInt64", ElementKind::UInt64},
    {Double, "Double", ElementKind::Double},
    {String, "String", ElementKind::String},
    {Int16_AB, "Int16_AB", ElementKind::Int16},
    {Int16_BA, "Int16_BA", ElementKind::Int16},
    {UInt16_AB, "UInt16_AB", ElementKind::UInt16},
    {UInt16_BA, "UInt16_BA", ElementKind::UInt16},
    {Int32_ABCD, "Int32_ABCD", ElementKind::Int32},
    {Int32_BADC, "Int32_BADC", ElementKind::Int32},
    {Int32_CDAB, "Int32_CDAB", ElementKind::Int32},
    {Int32_DCBA, "Int32_DCBA", ElementKind::Int32},
    {UInt32_ABCD, "UInt32_ABCD", ElementKind::UInt32},
    {UInt32_BADC, "UInt32_BADC", ElementKind::UInt32},
    {UInt32_CDAB, "UInt32_CDAB", ElementKind::UInt32},
    {UInt32_DCBA, "UInt32_DCBA", ElementKind::UInt32},
    {Float_ABCD, "Float_ABCD", ElementKind::Float},
    {Float_BADC, "Float_BADC", ElementKind::Float},
    {Float_CDAB, "Float_CDAB", ElementKind::Float},
    {Float_DCBA, "Float_DCBA", ElementKind::Float},
    {Double_ABCDEFGH, "Double_ABCDEFGH", ElementKind::Double},
    {Double_BADCFEHG, "Double_BADCFEHG", ElementKind::Double},
    {Double_GHEFCDAB, "Double_GHEFCDAB", ElementKind::Double},
    {Double_HGFEDCBA, "Double_HGFEDCBA", ElementKind::Double},
};

const TypeEntry* entryOf(DataType type)
{
    for (const TypeEntry& entry : typeTable) {
        if (entry.type == type)
            return &entry;
    }
    return nullptr;
}

// Calls f with the record accessor of an element kind; its return type is the element type
// (char for Int8, whatever char is here). A default result for None.
template <typename F>
auto withAccessor(ElementKind kind, F f)
{
    switch (kind) {
    case ElementKind::None: break;
    case ElementKind::Bool: return f(&CLabelVariable::atbool);
    case ElementKind::Int8: return f(&CLabelVariable::atInt8);
    case ElementKind::UInt8: return f(&CLabelVariable::atUInt8);
    case ElementKind::Int16: return f(&CLabelVariable::atInt16);
    case ElementKind::UInt16: return f(&CLabelVariable::atUInt16);
    case ElementKind::Int32: return f(&CLabelVariable::atInt32);
    case ElementKind::UInt32: return f(&CLabelVariable::atUInt32);
    case ElementKind::Float: return f(&CLabelVariable::atFloat);
    case ElementKind::Int64: return f(&CLabelVariable::atInt64);
    case ElementKind::UInt64: return f(&CLabelVariable::atUInt64);
    case ElementKind::Double: return f(&CLabelVariable::atDouble);
    case ElementKind::String: return f(&CLabelVariable::atQString);
    }
    return decltype(f(&CLabelVariable::atbool))();
}

// The arithmetic type an element's text must fit: Int8 elements are chars, but signed.
template <typename T>
using TextType = std::conditional_t<std::is_same_v<T, char>, signed char, T>;

bool parseElement(const QString& text, bool* out)
{
    const QString t = text.toLower();
    *out = t == QLatin1String("1") || t == QLatin1String("true");
    return *out || t == QLatin1String("0") || t == QLatin1String("false");
}

bool parseElement(const QString& text, float* out)
{
    bool ok = false;
    *out = text.toFloat(&ok);
    return ok;
}

bool parseElement(const QString& text, double* out)
{
    bool ok = false;
    *out = text.toDouble(&ok);
    return ok;
}

bool parseElement(const QString& text, QString* out)
{
    *out = text;
    return true;
}

// Decimal within T's range, or 0x.. as the bit pattern of T's width; no sign but a decimal minus.
template <typename T>
bool parseElement(const QString& text, T* out)
{
    using Unsigned = std::make_unsigned_t<T>;
    const bool hex = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive);
    const QString digits = hex ? text.mid(2) : text;
    if (digits.startsWith(QLatin1Char('+')) || (digits.startsWith(QLatin1Char('-')) && (hex || std::is_unsigned_v<T>)))
        return false;
    bool ok = false;
    if constexpr (std::is_signed_v<T>) {
        if (!hex) {
            const qlonglong value = digits.toLongLong(&ok, 10);
            *out = static_cast<T>(value);
            return ok && value >= std::numeric_limits<T>::min() && value <= std::numeric_limits<T>::max();
        }
    }
    const qulonglong bits = digits.toULongLong(&ok, hex ? 16 : 10);
    *out = static_cast<T>(static_cast<Unsigned>(bits));
    return ok && bits <= std::numeric_limits<Unsigned>::max();
}

QString expectedForm(ElementKind kind)
{
    switch (kind) {
    case ElementKind::Bool: return QStringLiteral("0, 1, true or false");
    case ElementKind::Float:
    case ElementKind::Double: return QStringLiteral("a decimal number");
    default: return QStringLiteral("a whole number in range, or 0x.. hex of the type's width");
    }
}

template <typename T>
QString shortest(T value)
{
    char buffer[64];
    const std::to_chars_result result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return QString::fromLatin1(buffer, static_cast<int>(result.ptr - buffer));
}

// The bit pattern of a value of T's width, "0x" and upper-case digits.
template <typename T>
QString hexText(T value)
{
    using Bits = std::conditional_t<sizeof(T) == 1, quint8, std::conditional_t<sizeof(T) == 2, quint16,
                 std::conditional_t<sizeof(T) == 4, quint32, quint64>>>;
    Bits bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return QStringLiteral("0x") + QString::number(bits, 16).toUpper().rightJustified(2 * sizeof bits, QLatin1Char('0'));
}

QString elementText(bool value, ValueStyle style)
{
    if (style == ValueStyle::Json)
        return value ? QStringLiteral("true") : QStringLiteral("false");
    return value ? QStringLiteral("1") : QStringLiteral("0");
}

QString elementText(const QString& value, ValueStyle style)
{
    return style == ValueStyle::Json ? jsonString(value) : value;
}

template <typename T>
QString elementText(T value, ValueStyle style)
{
    if (style == ValueStyle::Hex)
        return hexText(value);
    if constexpr (std::is_floating_point_v<T>)
        return style == ValueStyle::Json && !std::isfinite(value) ? QStringLiteral("null") : shortest(value);
    else
        return QString::number(static_cast<TextType<T>>(value));
}

} // namespace

ElementKind elementKindOf(DataType type)
{
    const TypeEntry* entry = entryOf(type);
    return entry ? entry->kind : ElementKind::None;
}

bool dataTypeFromName(const QString& name, DataType* type)
{
    for (const TypeEntry& entry : typeTable) {
        if (name.compare(QLatin1String(entry.name), Qt::CaseInsensitive) == 0) {
            *type = entry.type;
            return true;
        }
    }
    return false;
}

QString dataTypeName(DataType type)
{
    const TypeEntry* entry = entryOf(type);
    return entry ? QLatin1String(entry->name) : QString::number(static_cast<int>(type));
}

QStringList dataTypeNames()
{
    QStringList names;
    for (const TypeEntry& entry : typeTable)
        names.append(QLatin1String(entry.name));
    return names;
}

QString unknownDataTypeMessage(const QString& name)
{
    return QStringLiteral("unknown data type '%1'; valid types (any case): %2")
        .arg(name, dataTypeNames().join(QStringLiteral(", ")));
}

bool parseValues(DataType type, const QStringList& texts, QVariant* list, QString* error)
{
    const ElementKind kind = elementKindOf(type);
    if (kind == ElementKind::None) {
        *error = QStringLiteral("data type %1 carries no values to write").arg(dataTypeName(type));
        return false;
    }
    int failed = -1;
    const bool ok = withAccessor(kind, [&](auto accessor) {
        using Element = decltype((std::declval<CLabelVariable&>().*accessor)(0));
        QList<Element> elements;
        for (int i = 0; i < texts.size(); ++i) {
            TextType<Element> parsed{};
            if (!parseElement(texts.at(i), &parsed)) {
                failed = i;
                return false;
            }
            elements.append(static_cast<Element>(parsed));
        }
        *list = QVariant::fromValue(elements);
        return true;
    });
    if (!ok) {
        *error = QStringLiteral("value '%1' is not a valid %2: expected %3")
                     .arg(texts.at(failed), dataTypeName(type), expectedForm(kind));
    }
    return ok;
}

QStringList formatValues(CLabelVariable& record, ValueStyle style)
{
    return withAccessor(elementKindOf(record.type), [&](auto accessor) {
        QStringList out;
        for (int i = 0;; ++i) {
            const auto element = (record.*accessor)(i);
            if (record.accessStatus != 0)
                break;
            out.append(elementText(element, style));
        }
        return out;
    });
}

QString shortestText(double value) { return shortest(value); }

} // namespace vane
