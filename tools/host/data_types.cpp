#include "data_types.h"

namespace vane::host {

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

} // namespace vane::host
