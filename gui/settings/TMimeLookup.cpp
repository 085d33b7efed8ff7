#include "gui/settings/TMimeLookup.h"

#include <fnmatch.h>

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QXmlStreamReader>
#include <optional>

namespace {

struct TGlobMatch {
    QString type;
    int weight = -1;
    qsizetype length = -1;

    void Offer(const QString& t, int w, const QString& pattern, bool caseSensitive,
               const QString& fileName) {
        const int flags = caseSensitive ? 0 : FNM_CASEFOLD;
        if (::fnmatch(pattern.toUtf8().constData(), fileName.toUtf8().constData(), flags) != 0) {
            return;
        }
        if (w > weight || (w == weight && pattern.size() > length)) {
            type = t;
            weight = w;
            length = pattern.size();
        }
    }
};

QStringList PackageFiles(const QString& mimeDir) {
    QStringList files;
    const QDir packages(mimeDir + QStringLiteral("/packages"));
    for (const QString& name :
         packages.entryList({QStringLiteral("*.xml")}, QDir::Files, QDir::Name)) {
        files.append(packages.filePath(name));
    }
    return files;
}

// globs2 lines: "weight:type:pattern[:flags]".
bool MatchGlobs2(const QString& mimeDir, const QString& fileName, TGlobMatch& match) {
    QFile file(mimeDir + QStringLiteral("/globs2"));
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(u'#')) {
            continue;
        }
        const QStringList f = line.split(u':');
        if (f.size() < 3) {
            continue;
        }
        const bool cs = f.size() > 3 && f[3].split(u',').contains(QStringLiteral("cs"));
        match.Offer(f[1], f[0].toInt(), f[2], cs, fileName);
    }
    return true;
}

void MatchPackage(const QString& path, const QString& fileName, TGlobMatch& match) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return;
    }
    QXmlStreamReader xml(&file);
    QString type;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement()) {
            continue;
        }
        const auto a = xml.attributes();
        if (xml.name() == QStringLiteral("mime-type")) {
            type = a.value(QStringLiteral("type")).toString();
        } else if (xml.name() == QStringLiteral("glob") && !type.isEmpty()) {
            const int weight = a.hasAttribute(QStringLiteral("weight"))
                                   ? a.value(QStringLiteral("weight")).toInt()
                                   : 50;
            const bool cs = a.value(QStringLiteral("case-sensitive")) == QStringLiteral("true");
            match.Offer(type, weight, a.value(QStringLiteral("pattern")).toString(), cs, fileName);
        }
    }
}

// The comment of that type's <mime-type> element in the XML file (a package
// or the type's own compiled file); nothing when the file lacks the type.
std::optional<QString> CommentIn(const QString& path, const QString& type) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    QXmlStreamReader xml(&file);
    bool inType = false;
    bool found = false;
    QString plain;
    QString japanese;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isEndElement() && xml.name() == QStringLiteral("mime-type") && inType) {
            break;
        }
        if (!xml.isStartElement()) {
            continue;
        }
        if (xml.name() == QStringLiteral("mime-type")) {
            inType = xml.attributes().value(QStringLiteral("type")) == type;
            found = found || inType;
        } else if (inType && xml.name() == QStringLiteral("comment")) {
            const auto lang = xml.attributes().value(QStringLiteral("xml:lang"));
            const QString text = xml.readElementText();
            if (lang.isEmpty()) {
                plain = text;
            } else if (lang == QStringLiteral("ja")) {
                japanese = text;
            }
        }
    }
    if (!found) {
        return std::nullopt;
    }
    return japanese.isEmpty() ? plain : japanese;
}

}  // namespace

QStringList TMimeLookup::StandardDirs() {
    return QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, QStringLiteral("mime"),
                                     QStandardPaths::LocateDirectory);
}

QString TMimeLookup::TypeForFileName(const QStringList& mimeDirs, const QString& fileName) {
    for (const QString& dir : mimeDirs) {
        TGlobMatch match;
        if (!MatchGlobs2(dir, fileName, match)) {
            for (const QString& package : PackageFiles(dir)) {
                MatchPackage(package, fileName, match);
            }
        }
        if (!match.type.isEmpty()) {
            return match.type;
        }
    }
    return {};
}

QString TMimeLookup::Comment(const QStringList& mimeDirs, const QString& type) {
    if (type.isEmpty()) {
        return {};
    }
    for (const QString& dir : mimeDirs) {
        if (auto c = CommentIn(dir + u'/' + type + QStringLiteral(".xml"), type)) {
            return *c;
        }
        for (const QString& package : PackageFiles(dir)) {
            if (auto c = CommentIn(package, type)) {
                return *c;
            }
        }
    }
    return {};
}
