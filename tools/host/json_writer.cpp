#include "json_writer.h"

#include "number_text.h"

namespace vane::host {

QString jsonString(const QString& text)
{
    QString out;
    out.reserve(text.size() + 2);
    out += QLatin1Char('"');
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '"': out += QLatin1String("\\\""); break;
        case '\\': out += QLatin1String("\\\\"); break;
        case '\n': out += QLatin1String("\\n"); break;
        case '\r': out += QLatin1String("\\r"); break;
        case '\t': out += QLatin1String("\\t"); break;
        default:
            if (c.unicode() < 0x20)
                out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    out += QLatin1Char('"');
    return out;
}

QString jsonNumber(double value)
{
    return isFinite(value) ? shortestText(value) : QStringLiteral("null");
}

QString jsonArray(const QStringList& items)
{
    return QLatin1Char('[') + items.join(QLatin1Char(',')) + QLatin1Char(']');
}

JsonObject& JsonObject::addString(const char* key, const QString& text)
{
    return addRaw(key, jsonString(text));
}

JsonObject& JsonObject::addInt(const char* key, qint64 value)
{
    return addRaw(key, QString::number(value));
}

JsonObject& JsonObject::addNumber(const char* key, double value)
{
    return addRaw(key, jsonNumber(value));
}

JsonObject& JsonObject::addBool(const char* key, bool value)
{
    return addRaw(key, value ? QStringLiteral("true") : QStringLiteral("false"));
}

JsonObject& JsonObject::addRaw(const char* key, const QString& json)
{
    members.append(jsonString(QLatin1String(key)) + QLatin1Char(':') + json);
    return *this;
}

QString JsonObject::toString() const
{
    return QLatin1Char('{') + members.join(QLatin1Char(',')) + QLatin1Char('}');
}

} // namespace vane::host
