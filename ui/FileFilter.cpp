#include "ui/FileFilter.h"

namespace {
QString Latin1(std::string_view text) { return QString::fromLatin1(text.data(), qsizetype(text.size())); }
}  // namespace

QStringList NameFilters(std::string_view pairs) {
    const QStringList parts = Latin1(pairs).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i].trimmed();
        // Qt reads the patterns from the parentheses, so the description's
        // own list of them gives way to the real one.
        const qsizetype open = description.lastIndexOf(QLatin1Char('('));
        if (open > 0 && description.endsWith(QLatin1Char(')'))) description = description.left(open).trimmed();
        QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString& p : patterns) p = p.trimmed();
        filters << description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return filters;
}

QString DefaultSuffix(std::string_view defaultExtension) {
    QString first = Latin1(defaultExtension).section(QLatin1Char(';'), 0, 0).trimmed();
    if (first.startsWith(QLatin1Char('*'))) first.remove(0, 1);
    if (first.startsWith(QLatin1Char('.'))) first.remove(0, 1);
    return first;
}
