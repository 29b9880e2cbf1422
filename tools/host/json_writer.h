#pragma once

#include <QString>
#include <QStringList>

namespace vane::host {

// JSON texts built by hand, so that keys keep the order they were added in and 64-bit integers
// keep every digit (QJsonValue would turn them into doubles).
QString jsonString(const QString& text);
// A finite number in its shortest exact form; null for NaN and the infinities, which JSON lacks.
QString jsonNumber(double value);
QString jsonArray(const QStringList& items);

class JsonObject {
public:
    JsonObject& addString(const char* key, const QString& text);
    JsonObject& addInt(const char* key, qint64 value);
    JsonObject& addNumber(const char* key, double value);
    JsonObject& addBool(const char* key, bool value);
    // `json` is already JSON text: an array, an object or a literal.
    JsonObject& addRaw(const char* key, const QString& json);
    QString toString() const;

private:
    QStringList members;
};

} // namespace vane::host
