#pragma once
// The folders an IMAP server listed, as a tree: each name is split at the
// delimiter the server gave with it, INBOX first and the others in the
// server's order. A level the server did not list, or listed as \Noselect,
// is shown but cannot be chosen.

#include <QString>
#include <vector>

#include "imap/TImapSession.h"

class QTreeWidget;
class QTreeWidgetItem;

class TImapFolderTree {
  public:
    // The item role holding a folder's full name (UTF-8 as read), empty for
    // a level that cannot be chosen.
    static constexpr int kFolderRole = Qt::UserRole;

    // Replaces `tree`'s items; the folder named `current` becomes the
    // current item when listed.
    static void Fill(QTreeWidget& tree, const std::vector<TImapSession::TFolder>& folders,
                     const QString& current);
    // The full name of `item`, empty when it cannot be chosen.
    static QString FolderOf(const QTreeWidgetItem* item);
};
