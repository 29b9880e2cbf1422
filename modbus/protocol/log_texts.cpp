#include "log_texts.h"

namespace vane::logtext {

QString fill(const QString& pattern, std::initializer_list<QString> args)
{
    QString filled;
    filled.reserve(pattern.size() + 64);
    const int n = pattern.size();
    for (int i = 0; i < n; ++i) {
        const QChar c = pattern.at(i);
        if (c == QLatin1Char('%') && i + 1 < n) {
            const int digit = pattern.at(i + 1).unicode() - '1';
            if (digit >= 0 && digit < static_cast<int>(args.size()) && digit < 9) {
                filled += *(args.begin() + digit);
                ++i;
                continue;
            }
        }
        filled += c;
    }
    return filled;
}

QString line(const char* prefix, const char* text, const char* tail, std::initializer_list<QString> args)
{
    return fill(QString::fromUtf8(prefix) + QString::fromUtf8(text) + QString::fromUtf8(tail), args);
}

} // namespace vane::logtext
