#pragma once

#include <QString>
#include <QStringList>

namespace vane {

// JSON texts built by hand, so that keys keep the order they were added in and 64-bit integers
// keep every digit (QJsonValue would turn them into doubles).
QString jsonString(const QString& text);
// A finite number in its shortest exact form; null for NaN and the infinities, which JSON lacks.
QString jsonNumber(double value);
QString jsonArray(const QStringList& items);

class JsonObject {
public:
    JsonObject& addString(const char* key, const QString& text) { return addRaw(key, jsonString(text)); }
    JsonObject& addInt(const char* key, qint64 value) { return addRaw(key, QString::number(value)); }
    JsonObject& addNumber(const char* key, double value) { return addRaw(key, jsonNumber(value)); }
    JsonObject& addBool(const char* key, bool value) { return addRaw(key, QLatin1String(value ? "true" : "false")); }
    // `json` is already JSON text: an array, an object or a literal.
    JsonObject& addRaw(const char* key, const QString& json)
    {
        members.append(jsonString(QLatin1String(key)) + QLatin1Char(':') + json);
        return *this;
    }
    QString toString() const { return QLatin1Char('{') + members.join(QLatin1Char(',')) + QLatin1Char('}'); }

private:
    QStringList members;
};

} // namespace vane
