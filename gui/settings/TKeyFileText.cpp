#include "gui/settings/TKeyFileText.h"

#include <fstream>
#include <iterator>

#include "base/TAtomicFile.h"

namespace {

bool IsHeader(const QString& line) {
    return line.startsWith(u'[');
}

// "Key = value" and "Key=value" are the same key.
bool IsKeyLine(const QString& line, const QString& key) {
    if (!line.startsWith(key)) {
        return false;
    }
    const QString rest = line.mid(key.size()).trimmed();
    return rest.startsWith(u'=');
}

}  // namespace

TKeyFileText::TKeyFileText(const QString& text) {
    lines_ = text.split(u'\n');
    if (!lines_.isEmpty() && lines_.back().isEmpty()) {
        lines_.removeLast();
    }
}

bool TKeyFileText::Load(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *this = TKeyFileText();
        return false;
    }
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    *this = TKeyFileText(QString::fromUtf8(bytes));
    return true;
}

bool TKeyFileText::Save(const std::filesystem::path& path) const {
    return TAtomicFile::WriteWhole(path, Text().toStdString());
}

QString TKeyFileText::Text() const {
    return lines_.isEmpty() ? QString() : lines_.join(u'\n') + u'\n';
}

qsizetype TKeyFileText::GroupLine(const QString& group) const {
    const QString header = u'[' + group + u']';
    for (qsizetype i = 0; i < lines_.size(); ++i) {
        if (lines_[i].trimmed() == header) {
            return i;
        }
    }
    return -1;
}

qsizetype TKeyFileText::KeyLine(const QString& group, const QString& key) const {
    const qsizetype header = GroupLine(group);
    if (header < 0) {
        return -1;
    }
    for (qsizetype i = header + 1; i < lines_.size() && !IsHeader(lines_[i]); ++i) {
        if (IsKeyLine(lines_[i], key)) {
            return i;
        }
    }
    return -1;
}

qsizetype TKeyFileText::GroupEnd(qsizetype header) const {
    qsizetype end = header + 1;
    for (qsizetype i = header + 1; i < lines_.size() && !IsHeader(lines_[i]); ++i) {
        if (!lines_[i].trimmed().isEmpty()) {
            end = i + 1;
        }
    }
    return end;
}

QString TKeyFileText::Value(const QString& group, const QString& key) const {
    const qsizetype i = KeyLine(group, key);
    if (i < 0) {
        return {};
    }
    return lines_[i].mid(lines_[i].indexOf(u'=') + 1).trimmed();
}

void TKeyFileText::SetValue(const QString& group, const QString& key, const QString& value) {
    const QString line = key + u'=' + value;
    if (const qsizetype i = KeyLine(group, key); i >= 0) {
        lines_[i] = line;
        return;
    }
    qsizetype header = GroupLine(group);
    if (header < 0) {
        if (!lines_.isEmpty() && !lines_.back().trimmed().isEmpty()) {
            lines_.append(QString());
        }
        lines_.append(u'[' + group + u']');
        header = lines_.size() - 1;
    }
    lines_.insert(GroupEnd(header), line);
}

bool TKeyFileText::Remove(const QString& group, const QString& key) {
    const qsizetype i = KeyLine(group, key);
    if (i < 0) {
        return false;
    }
    lines_.removeAt(i);
    return true;
}
