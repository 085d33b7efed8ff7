#include "gui/base/TFileFilter.h"

namespace {

// "*.*" also names files without an extension (an mbox file is often plain
// "Inbox"), which on this platform only "*" matches.
QString QtPattern(const QString& pattern) {
    return pattern == QStringLiteral("*.*") ? QStringLiteral("*") : pattern;
}

// The description without its own "(patterns)" tail: Qt appends the real ones.
QString BareDescription(const QString& description) {
    const QString trimmed = description.trimmed();
    const qsizetype open = trimmed.lastIndexOf(u'(');
    if (open > 0 && trimmed.endsWith(u')')) {
        return trimmed.left(open).trimmed();
    }
    return trimmed;
}

}  // namespace

QStringList TFileFilter::ToQt(const QString& filter) {
    const QStringList parts = filter.split(u'|');
    QStringList result;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (const QString& p : parts[i + 1].split(u';', Qt::SkipEmptyParts)) {
            patterns.append(QtPattern(p.trimmed()));
        }
        if (patterns.isEmpty()) {
            continue;
        }
        result.append(BareDescription(parts[i]) + QStringLiteral(" (") + patterns.join(u' ') +
                      u')');
    }
    return result;
}
