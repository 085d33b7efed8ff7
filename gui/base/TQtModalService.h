#pragma once
// The modal seam on real Qt dialogs.

#include "gui/base/TModalService.h"

class TQtModalService : public TModalService {
  public:
    TModalResult Message(QWidget* parent, const QString& text, TMsgKind kind, TMsgButtons buttons,
                         int helpTopic) override;
    std::optional<QString> OpenFile(QWidget* parent, const TFileRequest& request) override;
    std::optional<QString> SaveFile(QWidget* parent, const TFileRequest& request) override;
    std::optional<QString> BrowseFolder(QWidget* parent, const QString& caption,
                                        const QString& initialDir) override;
};
