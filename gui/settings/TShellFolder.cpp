#include "gui/settings/TShellFolder.h"

#include <QStandardPaths>
#include <optional>

#include "base/TKestrifyError.h"
#include "gui/base/TQtText.h"

namespace {

using Location = QStandardPaths::StandardLocation;

// What each kind stands for here: the user's own folder of that kind, a
// shared (all users) folder, or nothing.
struct TKind {
    std::optional<Location> location;
    const char* subFolder = nullptr;
    bool shared = false;
};

const TKind& KindTable(int kind) {
    static const TKind none{};
    static const TKind table[TShellFolder::KindCount] = {
        none,                                                        // 0 alternate start-up
        {QStandardPaths::GenericConfigLocation},                     // 1 application data
        none,                                                        // 2 recycle bin
        none,                                                        // 3 common alt. start-up
        none,                                                        // 4 common desktop
        none,                                                        // 5 common favourites
        {QStandardPaths::ApplicationsLocation, nullptr, true},       // 6 common programs
        {QStandardPaths::ApplicationsLocation, nullptr, true},       // 7 common start menu
        {QStandardPaths::GenericConfigLocation, "autostart", true},  // 8 common start-up
        none,                                                        // 9 control panel
        none,                                                        // 10 cookies
        {QStandardPaths::DesktopLocation},                           // 11 desktop
        {QStandardPaths::DesktopLocation},                           // 12 desktop folder
        none,                                                        // 13 my computer
        none,                                                        // 14 favourites
        {QStandardPaths::FontsLocation},                             // 15 fonts
        none,                                                        // 16 history
        none,                                                        // 17 internet
        {QStandardPaths::GenericCacheLocation},                      // 18 internet cache
        none,                                                        // 19 network shortcuts
        none,                                                        // 20 network
        {QStandardPaths::DocumentsLocation},                         // 21 documents
        none,                                                        // 22 printers
        none,                                                        // 23 printer shortcuts
        {QStandardPaths::ApplicationsLocation},                      // 24 programs
        none,                                                        // 25 recent documents
        none,                                                        // 26 send to
        {QStandardPaths::ApplicationsLocation},                      // 27 start menu
        {QStandardPaths::GenericConfigLocation, "autostart"},        // 28 start-up
        {QStandardPaths::TemplatesLocation},                         // 29 templates
    };
    return kind >= 0 && kind < TShellFolder::KindCount ? table[kind] : none;
}

}  // namespace

QString TShellFolder::Path(int kind) {
    if (kind < 0 || kind >= KindCount) {
        throw TKestrifyError(
            TQtText::ToSjis(QString::fromUtf8("指定されたコードが見つかりません。")));
    }
    const TKind& k = KindTable(kind);
    if (!k.location) {
        return {};
    }
    QString folder;
    if (k.shared) {
        // The first location is the user's own; the shared ones follow.
        const QStringList all = QStandardPaths::standardLocations(*k.location);
        folder = all.size() > 1 ? all.at(1) : QString();
    } else {
        folder = QStandardPaths::writableLocation(*k.location);
    }
    if (folder.isEmpty() || k.subFolder == nullptr) {
        return folder;
    }
    return folder + u'/' + QString::fromLatin1(k.subFolder);
}
