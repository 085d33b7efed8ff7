#pragma once
// A freedesktop.org key file (desktop entries, mimeapps.list) as lines of
// UTF-8 text: values are read and changed in place, every other line
// (comments, other groups, other programs' keys) stays as it was. Group and
// key names match exactly, as those files require.

#include <QString>
#include <QStringList>
#include <filesystem>

class TKeyFileText {
  public:
    TKeyFileText() = default;
    explicit TKeyFileText(const QString& text);

    // False when the file does not exist or cannot be read (then empty).
    bool Load(const std::filesystem::path& path);
    // Replaces the file in one step; false on failure.
    bool Save(const std::filesystem::path& path) const;

    QString Text() const;
    // The raw value (escapes not undone); empty when missing.
    QString Value(const QString& group, const QString& key) const;
    // Replaces the key's value, or adds the key at the end of its group (and
    // the group at the end of the file).
    void SetValue(const QString& group, const QString& key, const QString& value);
    // False when the key was not there.
    bool Remove(const QString& group, const QString& key);

  private:
    // Index of the group's header line, or -1.
    qsizetype GroupLine(const QString& group) const;
    // Index of the key's line inside the group, or -1.
    qsizetype KeyLine(const QString& group, const QString& key) const;
    // Index just after the group's last non-empty line.
    qsizetype GroupEnd(qsizetype header) const;

    QStringList lines_;
};
