#pragma once
// The dialog that creates or changes one ordinary extraction parameter: where
// the key is looked for, which lines are taken and how the value is cleaned.
// OK checks the input (key present, header key normalised, regular
// expressions compile, wrap width in range) and stays open on any failure.
// The "プレビュー" button opens a panel that shows what the parameter, as
// typed, takes from the mails of the main window's store.

#include <QString>
#include <string>
#include <vector>

#include "gui/base/TModalService.h"
#include "gui/params/TFormAbstructParamEdit.h"
#include "gui/params/TParamPreviewPanel.h"
#include "params/TGridParamList.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTimer;
class TParamPreviewPanel;
class TRadioGroup;

class TFormParamEdit : public TFormAbstructParamEdit {
    Q_OBJECT
  public:
    explicit TFormParamEdit(QWidget* parent = nullptr);

    TOrderedParamString GetParam() const override;
    void SetParam(const TOrderedParamString& param) override;

    // The drop-down entries of the key box: display text and key text.
    struct TKeyShortcut {
        QString display;
        QString key;
    };
    static const std::vector<TKeyShortcut>& Shortcuts();
    static constexpr char16_t KeyTerminator = u':';
    // Clears the key box's list and fills it with the shortcuts.
    void InstallShortcuts();

    // A header key as stored: blanks and control characters trimmed (unless
    // nothing would remain) and the terminator appended when missing.
    static QString NormalizeHeaderKey(const QString& key);

    // Decimal integer with an optional sign and nothing else.
    static bool ParseInteger(const QString& text, int* value);

    void BtnOKClick();

    // Where the preview reads from: the main window's store and project as
    // they stand when the editor opens. The main window sets it before it
    // shows the dialog (Add and Edit); without it the preview says that no
    // mail type is chosen. Nothing is read until the preview is opened.
    struct TPreviewSource {
        int mailType = -1;      // the mail-type list's index, 0 to 9
        std::string location;   // Shift_JIS path as the Convert command hands it to the reader
        bool htmlText = false;  // the project's HTMLTEXT
        TGridParamList params;  // the project's parameters as the grid holds them
        int position = -1;      // the row being edited; -1 for Add (appended last)
        // The password of an IMAP store, asked for when the preview opens it.
        TParamPreviewPanel::TImapAccessSource imapAccess;
    };
    void SetPreviewSource(const TPreviewSource& source);
    // Opens or closes the preview panel, as its button does.
    void SetPreviewOpen(bool open);
    TParamPreviewPanel* PreviewPanel() const { return previewPanel_; }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    QWidget* BuildParamPage();
    QWidget* BuildAdvancedPage();
    void ApplyHints();
    void Connect();

    void PosTypeChanged();
    void RowCountChanged();
    void MailAddressChanged();
    void MailNameChanged();
    void FieldNameCheckChanged();
    void KeyChanged();
    void FieldNameChanged();

    // The drop-down entry behind the key text, or -1 once the text was edited.
    int SelectedShortcut() const;
    // Sets the key text with no shortcut selected (or re-selects `shortcut`),
    // without running the dependency rules.
    void SetKeyText(const QString& text, int shortcut = -1);
    bool IsHeader() const;
    // The key as OK stores it: a chosen shortcut's key text, and a header
    // key normalised.
    QString StoredKey() const;
    void ParamEdited();
    void UpdatePreview();
    void Refuse(const QString& message, TMsgButtons buttons, int helpTopic);

    QTabWidget* pages_ = nullptr;
    QComboBox* editKey_ = nullptr;
    QLineEdit* editFieldName_ = nullptr;
    QCheckBox* checkBoxFieldName_ = nullptr;
    QCheckBox* checkBoxRegExt_ = nullptr;
    TRadioGroup* radioGroupPosType_ = nullptr;
    TRadioGroup* radioGroupRowCount_ = nullptr;
    TRadioGroup* radioGroupStartLine_ = nullptr;
    QCheckBox* checkBoxTrim_ = nullptr;
    QCheckBox* checkBoxOneLine_ = nullptr;
    QCheckBox* checkBoxAutoFormat_ = nullptr;
    QLineEdit* editAutoFormat_ = nullptr;
    QCheckBox* checkBoxMailAddress_ = nullptr;
    QCheckBox* checkBoxMailName_ = nullptr;
    QLineEdit* editEndString_ = nullptr;
    QCheckBox* checkBoxEndStringRegExp_ = nullptr;
    QPushButton* btnOK_ = nullptr;
    QPushButton* btnCancel_ = nullptr;
    QPushButton* btnHelp_ = nullptr;
    QPushButton* btnPreview_ = nullptr;
    TParamPreviewPanel* previewPanel_ = nullptr;
    QTimer* previewTimer_ = nullptr;
    TPreviewSource previewSource_;
    bool firstShow_ = true;
};
