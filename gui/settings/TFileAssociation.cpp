#include "gui/settings/TFileAssociation.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <system_error>

#include "base/TAtomicFile.h"
#include "gui/settings/TKeyFileText.h"
#include "gui/settings/TMimeLookup.h"
#include "gui/settings/TkKestrifyInfo.h"

namespace {

const QString DefaultGroup = QStringLiteral("Default Applications");
const QString AddedGroup = QStringLiteral("Added Associations");
const QString EntryGroup = QStringLiteral("Desktop Entry");
constexpr int ToolTimeoutMs = 30000;

QString Mime() {
    return QString::fromLatin1(TkKestrifyInfo::MimeType);
}

QString DesktopId() {
    return QString::fromLatin1(TkKestrifyInfo::DesktopId);
}

std::filesystem::path Path(const QString& p) {
    return std::filesystem::path(p.toStdString());
}

QString Resource(const QString& name) {
    QFile file(QStringLiteral(":/desktop/") + name);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

bool WriteFile(const std::filesystem::path& path, const QString& text) {
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    return !text.isEmpty() && TAtomicFile::WriteWhole(path, text.toStdString());
}

// A list value "a.desktop;b.desktop;" without `id`, or with it first.
QString ListWithout(const QString& list, const QString& id) {
    QStringList ids = list.split(u';', Qt::SkipEmptyParts);
    ids.removeAll(id);
    return ids.isEmpty() ? QString() : ids.join(u';') + u';';
}

QString ListWithFirst(const QString& list, const QString& id) {
    return id + u';' + ListWithout(list, id);
}

// Undoes the string escapes of a desktop entry value (\s \n \t \r \\).
QString Unescape(const QString& value) {
    QString out;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != u'\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        const QChar c = value[++i];
        out += c == u's'   ? QChar(u' ')
               : c == u'n' ? QChar(u'\n')
               : c == u't' ? QChar(u'\t')
               : c == u'r' ? QChar(u'\r')
                           : c;
    }
    return out;
}

}  // namespace

TFileAssociation::TFileAssociation() : folders_(StandardFolders()) {}

TFileAssociation::TFileAssociation(TFolders folders) : folders_(std::move(folders)) {}

TFileAssociation::TFolders TFileAssociation::StandardFolders() {
    TFolders f;
    f.dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    f.configHome = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    for (const QString& data :
         QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation)) {
        f.mimeDirs.append(data + QStringLiteral("/mime"));
        f.applicationDirs.append(data + QStringLiteral("/applications"));
    }
    return f;
}

std::filesystem::path TFileAssociation::MimePackagePath() const {
    return Path(folders_.dataHome + QStringLiteral("/mime/packages/kestrify.xml"));
}

std::filesystem::path TFileAssociation::DesktopEntryPath() const {
    return Path(folders_.dataHome + QStringLiteral("/applications/") + DesktopId());
}

std::filesystem::path TFileAssociation::MimeAppsPath() const {
    return Path(folders_.configHome + QStringLiteral("/mimeapps.list"));
}

QString TFileAssociation::Description() const {
    const QString type = TMimeLookup::TypeForFileName(folders_.mimeDirs, QStringLiteral("x.KFY"));
    return TMimeLookup::Comment(folders_.mimeDirs, type);
}

QString TFileAssociation::StatusText() const {
    const QString description = Description();
    if (description.isEmpty()) {
        return QString::fromUtf8(" 拡張子'KFY'の付いたファイルのタイプは\n 設定されていません。");
    }
    return QString::fromUtf8(" 拡張子'KFY'の付いたファイルのタイプは\n '") + description +
           QString::fromUtf8("'です。");
}

QString TFileAssociation::ExecValue(const QString& programPath) {
    if (programPath.isEmpty() || programPath.contains(u'\n') || programPath.contains(u'\r')) {
        return {};
    }
    QString quoted;
    for (const QChar c : programPath) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\') {
            quoted += u'\\';
        }
        quoted += c;
    }
    // The key file's own escaping doubles every backslash; "%" is a field code.
    quoted.replace(u'\\', QStringLiteral("\\\\"));
    quoted.replace(u'%', QStringLiteral("%%"));
    return u'"' + quoted + QStringLiteral("\" %f");
}

QString TFileAssociation::ExecProgram(const QString& execValue) {
    const QString exec = Unescape(execValue).trimmed();
    QString program;
    if (!exec.startsWith(u'"')) {
        program = exec.section(u' ', 0, 0);
    } else {
        for (qsizetype i = 1; i < exec.size(); ++i) {
            if (exec[i] == u'"') {
                break;
            }
            if (exec[i] == u'\\' && i + 1 < exec.size()) {
                ++i;
            }
            program += exec[i];
        }
    }
    program.replace(QStringLiteral("%%"), QStringLiteral("%"));
    return program;
}

QString TFileAssociation::DesktopEntryFor(const QString& id) const {
    for (const QString& dir : folders_.applicationDirs) {
        const QString path = dir + u'/' + id;
        if (QFileInfo::exists(path)) {
            return path;
        }
    }
    return {};
}

QString TFileAssociation::HandlerProgram() const {
    const QString type = TMimeLookup::TypeForFileName(folders_.mimeDirs, QStringLiteral("x.KFY"));
    if (type.isEmpty()) {
        return {};
    }
    TKeyFileText apps;
    apps.Load(MimeAppsPath());
    const QString id = apps.Value(DefaultGroup, type).section(u';', 0, 0).trimmed();
    const QString entryPath = id.isEmpty() ? QString() : DesktopEntryFor(id);
    if (entryPath.isEmpty()) {
        return {};
    }
    TKeyFileText entry;
    entry.Load(Path(entryPath));
    return ExecProgram(entry.Value(EntryGroup, QStringLiteral("Exec")));
}

bool TFileAssociation::Associate(const QString& programPath) {
    const QString exec = ExecValue(programPath);
    if (exec.isEmpty() || folders_.dataHome.isEmpty() || folders_.configHome.isEmpty()) {
        return false;
    }
    bool ok = WriteFile(MimePackagePath(), Resource(QStringLiteral("kestrify.xml")));
    // The icon the MIME type names, where the icon theme looks for the user's own.
    ok = ok &&
         WriteFile(Path(folders_.dataHome + QStringLiteral("/icons/hicolor/scalable/mimetypes/"
                                                           "application-x-kestrify-project.svg")),
                   Resource(QStringLiteral("kestrify.svg")));

    TKeyFileText entry(Resource(QStringLiteral("kestrify.desktop")));
    entry.SetValue(EntryGroup, QStringLiteral("Exec"), exec);
    ok = ok && WriteFile(DesktopEntryPath(), entry.Text());

    TKeyFileText apps;
    apps.Load(MimeAppsPath());
    apps.SetValue(DefaultGroup, Mime(), DesktopId() + u';');
    apps.SetValue(AddedGroup, Mime(), ListWithFirst(apps.Value(AddedGroup, Mime()), DesktopId()));
    ok = ok && WriteFile(MimeAppsPath(), apps.Text());

    RunUpdateTools(ok);
    return ok;
}

bool TFileAssociation::Remove(const QString& programPath) {
    if (programPath.isEmpty() || HandlerProgram() != programPath) {
        return false;
    }
    std::error_code ec;
    std::filesystem::remove(MimePackagePath(), ec);
    TKeyFileText entry;
    if (entry.Load(DesktopEntryPath()) &&
        ExecProgram(entry.Value(EntryGroup, QStringLiteral("Exec"))) == programPath) {
        std::filesystem::remove(DesktopEntryPath(), ec);
    }
    TKeyFileText apps;
    if (apps.Load(MimeAppsPath())) {
        const QString type =
            TMimeLookup::TypeForFileName(folders_.mimeDirs, QStringLiteral("x.KFY"));
        for (const QString& t : {type, Mime()}) {
            apps.Remove(DefaultGroup, t);
            const QString added = ListWithout(apps.Value(AddedGroup, t), DesktopId());
            if (added.isEmpty()) {
                apps.Remove(AddedGroup, t);
            } else {
                apps.SetValue(AddedGroup, t, added);
            }
        }
        apps.Save(MimeAppsPath());
    }
    bool ok = true;
    RunUpdateTools(ok);
    return true;
}

// The desktop reads compiled tables; without the tools it reads what it can.
// A failing MIME tool leaves the type unknown to the desktop: that is a failure.
void TFileAssociation::RunUpdateTools(bool& ok) const {
    struct TTool {
        const char* name;
        QString folder;
        bool required;
    };
    const TTool tools[] = {
        {"update-mime-database", folders_.dataHome + QStringLiteral("/mime"), true},
        {"update-desktop-database", folders_.dataHome + QStringLiteral("/applications"), false},
    };
    for (const TTool& tool : tools) {
        const QString program = QStandardPaths::findExecutable(QString::fromLatin1(tool.name));
        if (program.isEmpty() || !QFileInfo(tool.folder).isDir()) {
            continue;
        }
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(program, {tool.folder});
        const bool done = process.waitForFinished(ToolTimeoutMs);
        if (!done) {
            process.kill();
            process.waitForFinished();
        }
        if (tool.required &&
            (!done || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)) {
            ok = false;
        }
    }
}
