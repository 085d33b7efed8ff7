#include "gui/params/TParamPreviewPanel.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTextBlock>
#include <QToolButton>
#include <QVBoxLayout>

#include "convert/TPreviewWorker.h"
#include "gui/base/THint.h"
#include "gui/base/TQtText.h"
#include "gui/base/UiText.h"
#include "mail/TMailStoreFactory.h"

namespace {

// Marks that stay readable on light and dark themes alike.
const QColor kKeyLineColor(255, 221, 120);
const QColor kTakenColor(186, 222, 255);

}  // namespace

// A shot made ready for the screen on the worker thread, so the window
// thread only sets texts.
struct TParamPreviewPanel::TView {
    TPreviewShot shot;
    QString mailText;
    int bodyStart = 0;            // document line of the first body line
    std::vector<int> keyLines;    // document lines where the key was found
    std::vector<int> takenLines;  // document lines the value was taken from
    QString value;
    QString problem;
    QString warnings;

    static std::shared_ptr<const TView> Make(TPreviewShot shot) {
        auto view = std::make_shared<TView>();
        view->problem = TQtText::FromSjis(shot.problem);
        // The cell as the CSV file holds it: line breaks are single LF bytes.
        view->value = TQtText::FromSjis(shot.value).remove(u'\r');
        for (const std::string& w : shot.warnings) {
            view->warnings += TQtText::FromSjis(w) + u'\n';
        }
        if (shot.mail) {
            QStringList lines;
            for (const auto& [key, values] : shot.mail->GetHeader()) {
                for (const std::string& v : values) {
                    if (!shot.headerKey.empty() && key == shot.headerKey) {
                        view->keyLines.push_back(static_cast<int>(lines.size()));
                    }
                    lines.push_back(key.empty() ? TQtText::FromSjis(v)
                                                : TQtText::FromSjis(key + ' ' + v));
                }
            }
            lines.push_back(QString());
            view->bodyStart = static_cast<int>(lines.size());
            for (const std::string& line : shot.mail->GetBody()) {
                lines.push_back(TQtText::FromSjis(line));
            }
            view->mailText = lines.join(u'\n');
            if (shot.span) {
                view->keyLines.push_back(view->bodyStart + static_cast<int>(shot.span->keyLine));
                for (std::size_t i = shot.span->first; i < shot.span->end; ++i) {
                    view->takenLines.push_back(view->bodyStart + static_cast<int>(i));
                }
            }
        }
        view->shot = std::move(shot);
        return view;
    }
};

TParamPreviewPanel::TParamPreviewPanel(QWidget* parent) : QWidget(parent) {
    btnPrevMail_ = Named(new QToolButton(this), "BtnPrevMail");
    btnPrevMail_->setArrowType(Qt::LeftArrow);
    btnNextMail_ = Named(new QToolButton(this), "BtnNextMail");
    btnNextMail_->setArrowType(Qt::RightArrow);
    editMailNumber_ = Named(new QSpinBox(this), "EditMailNumber");
    editMailNumber_->setRange(0, 0);
    editMailNumber_->setKeyboardTracking(false);
    editMailNumber_->installEventFilter(this);
    labelMailCount_ = Named(new QLabel(this), "LabelMailCount");
    btnFindNext_ = Named(new QPushButton(U("次に見つかるメール"), this), "BtnFindNext");
    labelMessage_ = Named(new QLabel(this), "LabelPreviewMessage");
    labelMessage_->setWordWrap(true);
    labelMessage_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    memoMail_ = Named(new QPlainTextEdit(this), "MemoMail");
    memoMail_->setReadOnly(true);
    memoMail_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    memoValue_ = Named(new QPlainTextEdit(this), "MemoValue");
    memoValue_->setReadOnly(true);
    memoValue_->setLineWrapMode(QPlainTextEdit::NoWrap);
    memoValue_->setPlaceholderText(U("(空)"));
    memoValue_->setMaximumHeight(memoValue_->fontMetrics().lineSpacing() * 5 + 12);
    progressSearch_ = Named(new QProgressBar(this), "ProgressSearch");
    btnStopSearch_ = Named(new QPushButton(U("中止"), this), "BtnStopSearch");
    // Enter in the panel must not press the dialog's OK button.
    for (QPushButton* b : {btnFindNext_, btnStopSearch_}) {
        b->setAutoDefault(false);
    }

    THint::Apply(btnPrevMail_, U("前のメール|前のメールを表示します。"));
    THint::Apply(btnNextMail_, U("次のメール|次のメールを表示します。"));
    THint::Apply(editMailNumber_, U("メールの番号|表示するメールの番号です。"));
    THint::Apply(btnFindNext_, U("次に見つかるメール|このパラメータで値が取り出せる次のメールを探"
                                 "します。"));
    THint::Apply(memoMail_, U("デコードしたメール|キーが見つかった行と値を取り出す行に色が付きま"
                              "す。"));
    THint::Apply(memoValue_, U("CSVの値|このメールでこのパラメータがCSVに書き出す値です。"));
    THint::Apply(btnStopSearch_, U("中止|検索を中止します。"));

    auto* nav = new QHBoxLayout;
    nav->addWidget(new QLabel(U("メール"), this));
    nav->addWidget(btnPrevMail_);
    nav->addWidget(editMailNumber_);
    nav->addWidget(labelMailCount_);
    nav->addWidget(btnNextMail_);
    nav->addStretch(1);
    nav->addWidget(btnFindNext_);

    auto* search = new QHBoxLayout;
    search->addWidget(progressSearch_, 1);
    search->addWidget(btnStopSearch_);

    auto* legend = Named(new QLabel(this), "LabelLegend");
    legend->setText(
        U("<span style=\"background-color:%1; color:black\">&nbsp;キーの行&nbsp;</span>"
          "&nbsp;&nbsp;<span style=\"background-color:%2; color:black\">&nbsp;値を取り出す行"
          "&nbsp;</span>")
            .arg(kKeyLineColor.name(), kTakenColor.name()));

    auto* valueLabel = new QLabel(U("CSVの値"), this);
    valueLabel->setBuddy(memoValue_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(nav);
    layout->addLayout(search);
    layout->addWidget(memoMail_, 1);
    layout->addWidget(legend);
    layout->addWidget(labelMessage_);
    layout->addWidget(valueLabel);
    layout->addWidget(memoValue_);
    SetSearching(false);

    connect(btnPrevMail_, &QToolButton::clicked, editMailNumber_,
            [this] { editMailNumber_->stepBy(-1); });
    connect(btnNextMail_, &QToolButton::clicked, editMailNumber_,
            [this] { editMailNumber_->stepBy(1); });
    connect(editMailNumber_, &QSpinBox::valueChanged, this, &TParamPreviewPanel::MailNumberChanged);
    connect(btnFindNext_, &QPushButton::clicked, this, &TParamPreviewPanel::FindNextClick);
    connect(btnStopSearch_, &QPushButton::clicked, this, [this] {
        if (worker_) {
            worker_->StopSearch();
        }
    });
}

TParamPreviewPanel::~TParamPreviewPanel() = default;

void TParamPreviewPanel::SetStore(int mailType, const std::string& sjisLocation, bool htmlText,
                                  TImapAccessSource imapAccess) {
    mailType_ = mailType;
    location_ = sjisLocation;
    htmlText_ = htmlText;
    imapAccess_ = std::move(imapAccess);
    if (worker_) {
        OpenStore();
        worker_->ShowMail(0);
    }
}

void TParamPreviewPanel::OpenStore() {
    TImapAccess imap;
    if (TMailStoreFactory::IsRemoteType(mailType_) && imapAccess_) {
        // None given: the server's refusal says that the password is missing.
        imap = imapAccess_().value_or(TImapAccess{});
    }
    ShowMessage(U("メールを読み込んでいます..."));
    worker_->Open(mailType_, location_, htmlText_, std::move(imap));
}

void TParamPreviewPanel::SetParams(std::vector<TOrderedParamString> params, std::size_t position) {
    params_ = std::move(params);
    position_ = position;
    paramProblem_.clear();
    if (worker_) {
        worker_->SetParams(params_, position_);
    }
}

void TParamPreviewPanel::SetParamProblem(const QString& problem) {
    paramProblem_ = problem;
    if (worker_) {
        // Whatever a search was looking for is no longer typed.
        worker_->StopSearch();
    }
    if (lastView_) {
        Display(lastView_);
    }
}

int TParamPreviewPanel::MailIndex() const {
    return editMailNumber_->value() - 1;
}

QString TParamPreviewPanel::MessageText() const {
    return labelMessage_->text();
}

QString TParamPreviewPanel::ValueText() const {
    return memoValue_->toPlainText();
}

void TParamPreviewPanel::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!worker_) {
        StartWorker();
    }
}

void TParamPreviewPanel::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (worker_) {
        worker_->StopSearch();
    }
}

bool TParamPreviewPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == editMailNumber_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            editMailNumber_->interpretText();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

// Answers come on the worker thread; they are handed to this window's
// thread, and dropped there when the panel is gone by then.
void TParamPreviewPanel::StartWorker() {
    TPreviewWorker::TSink sink;
    sink.shown = [this](TPreviewShot shot) {
        std::shared_ptr<const TView> view = TView::Make(std::move(shot));
        QMetaObject::invokeMethod(
            this, [this, view] { Display(view); }, Qt::QueuedConnection);
    };
    sink.progress = [this](int index, int count) {
        QMetaObject::invokeMethod(
            this, [this, index, count] { Progress(index, count); }, Qt::QueuedConnection);
    };
    sink.searched = [this](TPreviewSearch result) {
        QMetaObject::invokeMethod(
            this, [this, result] { Searched(result); }, Qt::QueuedConnection);
    };
    worker_ = std::make_unique<TPreviewWorker>(std::move(sink));
    OpenStore();
    if (!params_.empty()) {
        worker_->SetParams(params_, position_);
    }
    worker_->ShowMail(0);
}

void TParamPreviewPanel::Display(const std::shared_ptr<const TView>& view) {
    const TPreviewShot& shot = view->shot;
    {
        const QSignalBlocker blocker(editMailNumber_);
        editMailNumber_->setRange(shot.count > 0 ? 1 : 0, shot.count);
        editMailNumber_->setValue(shot.index + 1);
    }
    editMailNumber_->setEnabled(shot.count > 0);
    btnPrevMail_->setEnabled(shot.index > 0);
    btnNextMail_->setEnabled(shot.index + 1 < shot.count);
    labelMailCount_->setText(U("/ %1 通").arg(shot.count));
    if (!lastView_ || lastView_->shot.mail != shot.mail) {
        memoMail_->setPlainText(view->mailText);
    }
    lastView_ = view;

    const bool usable = paramProblem_.isEmpty() && view->problem.isEmpty();
    QList<QTextEdit::ExtraSelection> marks;
    if (usable) {
        QTextDocument* doc = memoMail_->document();
        const auto mark = [&](int line, const QColor& color) {
            QTextEdit::ExtraSelection s;
            s.cursor = QTextCursor(doc->findBlockByNumber(line));
            s.format.setBackground(color);
            s.format.setForeground(Qt::black);
            s.format.setProperty(QTextFormat::FullWidthSelection, true);
            marks.push_back(s);
        };
        for (int line : view->takenLines) {
            mark(line, kTakenColor);
        }
        for (int line : view->keyLines) {
            mark(line, kKeyLineColor);
        }
        if (!view->keyLines.empty()) {
            QTextCursor at(doc->findBlockByNumber(view->keyLines.front()));
            memoMail_->setTextCursor(at);
            memoMail_->centerCursor();
        }
    }
    memoMail_->setExtraSelections(marks);

    memoValue_->setPlainText(usable ? view->value : QString());
    if (!paramProblem_.isEmpty()) {
        ShowMessage(paramProblem_);
    } else if (!view->problem.isEmpty()) {
        ShowMessage(view->problem);
    } else if (shot.count == 0) {
        ShowMessage(U("メールがありません。"));
    } else if (view->value.isEmpty()) {
        ShowMessage(U("このメールでは値が見つかりません。") + u'\n' + view->warnings);
    } else {
        ShowMessage(view->warnings);
    }
    btnFindNext_->setEnabled(!searching_ && paramProblem_.isEmpty() && shot.index >= 0 &&
                             shot.index + 1 < shot.count);
    emit Shown();
}

void TParamPreviewPanel::MailNumberChanged(int number) {
    if (worker_ && number > 0) {
        worker_->ShowMail(number - 1);
    }
}

void TParamPreviewPanel::FindNextClick() {
    if (!worker_ || searching_) {
        return;
    }
    SetSearching(true);
    progressSearch_->setRange(0, std::max(editMailNumber_->maximum(), 1));
    progressSearch_->setValue(editMailNumber_->value());
    worker_->FindNext();
}

void TParamPreviewPanel::Progress(int index, int count) {
    if (searching_) {
        progressSearch_->setRange(0, std::max(count, 1));
        progressSearch_->setValue(index + 1);
    }
}

void TParamPreviewPanel::Searched(const TPreviewSearch& result) {
    SetSearching(false);
    if (result.found) {
        editMailNumber_->setValue(*result.found + 1);
        return;
    }
    ShowMessage(result.stopped ? U("検索を中止しました。")
                               : U("これより後に値が見つかるメールはありません。"));
    emit Shown();
}

void TParamPreviewPanel::SetSearching(bool searching) {
    searching_ = searching;
    progressSearch_->setVisible(searching);
    btnStopSearch_->setVisible(searching);
    btnFindNext_->setEnabled(!searching);
}

void TParamPreviewPanel::ShowMessage(const QString& text) {
    labelMessage_->setText(text.trimmed());
    labelMessage_->setVisible(!labelMessage_->text().isEmpty());
}
