#include "value_text.h"

#include <QList>

#include <cstring>
#include <limits>
#include <type_traits>

#include "data_types.h"
#include "json_writer.h"
#include "number_text.h"

namespace vane::host {

namespace {

bool parseBool(const QString& text, bool* out)
{
    const QString t = text.toLower();
    if (t == QLatin1String("1") || t == QLatin1String("true")) {
        *out = true;
        return true;
    }
    if (t == QLatin1String("0") || t == QLatin1String("false")) {
        *out = false;
        return true;
    }
    return false;
}

// T is the arithmetic type the text must fit (signed char for Int8, whatever char is here).
template <typename T>
bool parseInteger(const QString& text, T* out)
{
    using Unsigned = std::make_unsigned_t<T>;
    bool ok = false;
    if (text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        const QString digits = text.mid(2);
        if (digits.isEmpty() || digits.startsWith(QLatin1Char('+')) || digits.startsWith(QLatin1Char('-')))
            return false;
        const qulonglong bits = digits.toULongLong(&ok, 16);
        if (!ok || bits > std::numeric_limits<Unsigned>::max())
            return false;
        *out = static_cast<T>(static_cast<Unsigned>(bits));
        return true;
    }
    if (text.startsWith(QLatin1Char('+')))
        return false;
    if constexpr (std::is_signed_v<T>) {
        const qlonglong value = text.toLongLong(&ok, 10);
        if (!ok || value < std::numeric_limits<T>::min() || value > std::numeric_limits<T>::max())
            return false;
        *out = static_cast<T>(value);
    } else {
        if (text.startsWith(QLatin1Char('-')))
            return false;
        const qulonglong value = text.toULongLong(&ok, 10);
        if (!ok || value > std::numeric_limits<T>::max())
            return false;
        *out = static_cast<T>(value);
    }
    return true;
}

bool parseReal(const QString& text, float* out)
{
    bool ok = false;
    *out = text.toFloat(&ok);
    return ok;
}

bool parseReal(const QString& text, double* out)
{
    bool ok = false;
    *out = text.toDouble(&ok);
    return ok;
}

// Parses every text as Parsed, stores them as Element (char for Int8, where the two may differ).
template <typename Element, typename Parsed = Element>
bool parseList(const QStringList& texts, QVariant* list, int* failedIndex)
{
    QList<Element> elements;
    for (int i = 0; i < texts.size(); ++i) {
        Parsed parsed{};
        bool ok;
        if constexpr (std::is_same_v<Parsed, bool>)
            ok = parseBool(texts.at(i), &parsed);
        else if constexpr (std::is_floating_point_v<Parsed>)
            ok = parseReal(texts.at(i), &parsed);
        else
            ok = parseInteger(texts.at(i), &parsed);
        if (!ok) {
            *failedIndex = i;
            return false;
        }
        elements.append(static_cast<Element>(parsed));
    }
    *list = QVariant::fromValue(elements);
    return true;
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

template <typename T, typename Format>
QStringList collect(CLabelVariable& record, T (CLabelVariable::*accessor)(int), Format format)
{
    QStringList out;
    for (int i = 0;; ++i) {
        const T element = (record.*accessor)(i);
        if (record.accessStatus != 0)
            break;
        out.append(format(element));
    }
    return out;
}

QString realText(double value, QString shortest, ValueStyle style)
{
    return style == ValueStyle::Json && !isFinite(value) ? QStringLiteral("null") : shortest;
}

} // namespace

bool parseValues(DataType type, const QStringList& texts, QVariant* list, QString* error)
{
    const ElementKind kind = elementKindOf(type);
    int failed = -1;
    bool ok = false;
    switch (kind) {
    case ElementKind::None:
        *error = QStringLiteral("data type %1 carries no values to write").arg(dataTypeName(type));
        return false;
    case ElementKind::Bool: ok = parseList<bool>(texts, list, &failed); break;
    case ElementKind::Int8: ok = parseList<char, signed char>(texts, list, &failed); break;
    case ElementKind::UInt8: ok = parseList<unsigned char>(texts, list, &failed); break;
    case ElementKind::Int16: ok = parseList<short>(texts, list, &failed); break;
    case ElementKind::UInt16: ok = parseList<unsigned short>(texts, list, &failed); break;
    case ElementKind::Int32: ok = parseList<int>(texts, list, &failed); break;
    case ElementKind::UInt32: ok = parseList<unsigned int>(texts, list, &failed); break;
    case ElementKind::Float: ok = parseList<float>(texts, list, &failed); break;
    case ElementKind::Int64: ok = parseList<long long>(texts, list, &failed); break;
    case ElementKind::UInt64: ok = parseList<unsigned long long>(texts, list, &failed); break;
    case ElementKind::Double: ok = parseList<double>(texts, list, &failed); break;
    case ElementKind::String:
        *list = QVariant::fromValue(QList<QString>(texts.begin(), texts.end()));
        ok = true;
        break;
    }
    if (!ok) {
        *error = QStringLiteral("value '%1' is not a valid %2: expected %3")
                     .arg(texts.at(failed), dataTypeName(type), expectedForm(kind));
    }
    return ok;
}

namespace {

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

QStringList formatHexValues(CLabelVariable& record)
{
    const auto hex = [](auto v) { return hexText(v); };
    switch (elementKindOf(record.type)) {
    case ElementKind::Int8: return collect(record, &CLabelVariable::atInt8, hex);
    case ElementKind::UInt8: return collect(record, &CLabelVariable::atUInt8, hex);
    case ElementKind::Int16: return collect(record, &CLabelVariable::atInt16, hex);
    case ElementKind::UInt16: return collect(record, &CLabelVariable::atUInt16, hex);
    case ElementKind::Int32: return collect(record, &CLabelVariable::atInt32, hex);
    case ElementKind::UInt32: return collect(record, &CLabelVariable::atUInt32, hex);
    case ElementKind::Int64: return collect(record, &CLabelVariable::atInt64, hex);
    case ElementKind::UInt64: return collect(record, &CLabelVariable::atUInt64, hex);
    case ElementKind::Float: return collect(record, &CLabelVariable::atFloat, hex);
    case ElementKind::Double: return collect(record, &CLabelVariable::atDouble, hex);
    default: return {};
    }
}

} // namespace

QStringList formatValues(CLabelVariable& record, ValueStyle style)
{
    if (style == ValueStyle::Hex && elementKindOf(record.type) != ElementKind::Bool
        && elementKindOf(record.type) != ElementKind::String)
        return formatHexValues(record);
    const auto number = [](auto v) { return QString::number(v); };
    switch (elementKindOf(record.type)) {
    case ElementKind::None: return {};
    case ElementKind::Bool:
        return collect(record, &CLabelVariable::atbool, [style](bool v) {
            if (style == ValueStyle::Json)
                return v ? QStringLiteral("true") : QStringLiteral("false");
            return v ? QStringLiteral("1") : QStringLiteral("0");
        });
    case ElementKind::Int8:
        return collect(record, &CLabelVariable::atInt8,
                       [](char v) { return QString::number(static_cast<signed char>(v)); });
    case ElementKind::UInt8: return collect(record, &CLabelVariable::atUInt8, number);
    case ElementKind::Int16: return collect(record, &CLabelVariable::atInt16, number);
    case ElementKind::UInt16: return collect(record, &CLabelVariable::atUInt16, number);
    case ElementKind::Int32: return collect(record, &CLabelVariable::atInt32, number);
    case ElementKind::UInt32: return collect(record, &CLabelVariable::atUInt32, number);
    case ElementKind::Int64: return collect(record, &CLabelVariable::atInt64, number);
    case ElementKind::UInt64: return collect(record, &CLabelVariable::atUInt64, number);
    case ElementKind::Float:
        return collect(record, &CLabelVariable::atFloat,
                       [style](float v) { return realText(v, shortestText(v), style); });
    case ElementKind::Double:
        return collect(record, &CLabelVariable::atDouble,
                       [style](double v) { return realText(v, shortestText(v), style); });
    case ElementKind::String:
        return collect(record, &CLabelVariable::atQString, [style](const QString& v) {
            return style == ValueStyle::Json ? jsonString(v) : v;
        });
    }
    return {};
}

} // namespace vane::host
