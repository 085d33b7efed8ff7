#pragma once
// Chooses one folder file of a Thunderbird profile: a tree of the profiles
// found under the home folder, their accounts and folders with their
// sub-folders. Folders only as containers (no file of their own) cannot be
// chosen. A file elsewhere can still be picked with the file dialog.

#include <QString>
#include <filesystem>

#include "gui/base/TDialogForm.h"
#include "mail/TThunderbirdProfiles.h"

class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

class TThunderbirdFolderDialog : public TDialogForm {
    Q_OBJECT
  public:
    // `current` (a path) is selected when the tree holds it.
    TThunderbirdFolderDialog(QWidget* parent, const std::filesystem::path& home,
                             const QString& current);

    // The chosen folder file, once accepted.
    QString SelectedFile() const { return selected_; }
    QTreeWidget* Tree() const { return tree_; }

  private:
    void AddFolders(QTreeWidgetItem* parent,
                    const std::vector<TThunderbirdProfiles::TFolder>& folders,
                    const QString& current);
    void SelectionChanged();
    void BtnOKClick();
    void BtnFileClick();

    QTreeWidget* tree_;
    QLabel* label_;
    QPushButton* btnOK_;
    QPushButton* btnCancel_;
    QPushButton* btnFile_;
    QString selected_;
};
