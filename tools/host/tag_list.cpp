#include "tag_list.h"

#include <QFile>
#include <QRegularExpression>

#include "data_types.h"

namespace vane::host {

bool parseCount(const QString& text, int* count, QString* error)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (!ok || value < 1 || value > 65535 || text.startsWith(QLatin1Char('+'))) {
        *error = QStringLiteral("bad count '%1': expected a whole number from 1 to 65535").arg(text);
        return false;
    }
    *count = value;
    return true;
}

bool parseTagFields(const QStringList& fields, TagSpec* tag, QString* error)
{
    if (fields.size() < 2 || fields.size() > 3 || fields.at(0).isEmpty()) {
        *error = QStringLiteral("a tag needs an address, a data type and optionally a count");
        return false;
    }
    TagSpec parsed;
    parsed.address = fields.at(0);
    if (!dataTypeFromName(fields.at(1), &parsed.type)) {
        *error = unknownDataTypeMessage(fields.at(1));
        return false;
    }
    if (fields.size() == 3 && !parseCount(fields.at(2), &parsed.count, error))
        return false;
    *tag = parsed;
    return true;
}

bool parseTagArgument(const QString& argument, TagSpec* tag, QString* error)
{
    if (!parseTagFields(argument.split(QLatin1Char(':')), tag, error)) {
        *error = QStringLiteral("tag '%1': %2 (form: address:type[:count])").arg(argument, *error);
        return false;
    }
    return true;
}

bool parseTagFile(const QString& text, QList<TagSpec>* tags, QString* error)
{
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const QString content = lines.at(i).section(QLatin1Char('#'), 0, 0).trimmed();
        if (content.isEmpty())
            continue;
        TagSpec tag;
        if (!parseTagFields(content.split(blanks), &tag, error)) {
            *error = QStringLiteral("line %1: %2").arg(i + 1).arg(*error);
            return false;
        }
        tags->append(tag);
    }
    return true;
}

bool readTagFile(const QString& path, QList<TagSpec>* tags, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        *error = QStringLiteral("cannot read tag file %1: %2").arg(path, file.errorString());
        return false;
    }
    if (!parseTagFile(QString::fromUtf8(file.readAll()), tags, error)) {
        *error = QStringLiteral("%1: %2").arg(path, *error);
        return false;
    }
    return true;
}

} // namespace vane::host
