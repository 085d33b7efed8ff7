#include "gui/help/THelpWindow.h"

#include <QDesktopServices>
#include <QFile>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "gui/base/UiText.h"
#include "gui/help/THelpTopics.h"
#include "gui/settings/TkKestrifyInfo.h"

namespace {

constexpr int TopicRole = Qt::UserRole;

QString StyleSheet() {
    QFile file(QStringLiteral(":/help/help.css"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

}  // namespace

THelpWindow::THelpWindow(QWidget* parent)
    : QWidget(parent, Qt::Window),
      navigation_(new QTabWidget(this)),
      browser_(new QTextBrowser(this)),
      btnContents_(new QPushButton(U("目次(&C)"), this)),
      btnBack_(new QPushButton(U("戻る(&B)"), this)),
      btnForward_(new QPushButton(U("進む(&F)"), this)) {
    setWindowTitle(U("Kestrify ヘルプ"));
    setWindowIcon(TkKestrifyInfo::ProgramIcon());
    browser_->setObjectName(QStringLiteral("Browser"));
    browser_->setOpenLinks(false);
    browser_->document()->setDefaultStyleSheet(StyleSheet());
    btnBack_->setEnabled(false);
    btnForward_->setEnabled(false);
    btnBack_->setIcon(QIcon::fromTheme(QStringLiteral("go-previous")));
    btnForward_->setIcon(QIcon::fromTheme(QStringLiteral("go-next")));
    btnContents_->setIcon(QIcon::fromTheme(QStringLiteral("go-home")));
    navigation_->setObjectName(QStringLiteral("Navigation"));
    navigation_->addTab(MakeContentsPage(), U("目次(&T)"));
    navigation_->addTab(MakeSearchPage(), U("検索(&S)"));
    // Alt+S (the tab's letter) leads straight into the search field.
    connect(navigation_, &QTabWidget::currentChanged, this, [this](int index) {
        if (index == 1) {
            editSearch_->setFocus(Qt::ShortcutFocusReason);
        }
    });

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnContents_);
    buttons->addWidget(btnBack_);
    buttons->addWidget(btnForward_);
    buttons->addStretch(1);
    auto* right = new QWidget(this);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->addLayout(buttons);
    rightLayout->addWidget(browser_, 1);

    auto* splitter = new QSplitter(this);
    splitter->addWidget(navigation_);
    splitter->addWidget(right);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({280, 620});
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(splitter);

    connect(btnContents_, &QPushButton::clicked, this, [this] { ShowTopic(THelpTopic::Contents); });
    connect(btnBack_, &QPushButton::clicked, browser_, &QTextBrowser::backward);
    connect(btnForward_, &QPushButton::clicked, browser_, &QTextBrowser::forward);
    connect(browser_, &QTextBrowser::backwardAvailable, btnBack_, &QPushButton::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, btnForward_, &QPushButton::setEnabled);
    connect(browser_, &QTextBrowser::sourceChanged, this, &THelpWindow::SourceChanged);
    connect(browser_, &QTextBrowser::anchorClicked, this, &THelpWindow::LinkClicked);
    resize(900, 640);
}

QWidget* THelpWindow::MakeContentsPage() {
    listContents_ = new QListWidget;
    listContents_->setObjectName(QStringLiteral("ListContents"));
    listContents_->setWordWrap(true);
    for (const THelpPage& t : THelpTopics::All()) {
        auto* item = new QListWidgetItem(QString::fromUtf8(t.title), listContents_);
        item->setData(TopicRole, t.number);
    }
    connect(listContents_, &QListWidget::itemActivated, this, &THelpWindow::ItemActivated);
    connect(listContents_, &QListWidget::itemClicked, this, &THelpWindow::ItemActivated);
    return listContents_;
}

QWidget* THelpWindow::MakeSearchPage() {
    auto* page = new QWidget;
    editSearch_ = new QLineEdit(page);
    editSearch_->setObjectName(QStringLiteral("EditSearch"));
    editSearch_->setPlaceholderText(U("探す語句"));
    editSearch_->setClearButtonEnabled(true);
    btnSearch_ = new QPushButton(U("検索"), page);
    btnSearch_->setObjectName(QStringLiteral("BtnSearch"));
    listResults_ = new QListWidget(page);
    listResults_->setObjectName(QStringLiteral("ListResults"));
    listResults_->setWordWrap(true);

    auto* row = new QHBoxLayout;
    row->addWidget(editSearch_, 1);
    row->addWidget(btnSearch_);
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(row);
    layout->addWidget(listResults_, 1);

    const auto search = [this] { Search(editSearch_->text()); };
    connect(editSearch_, &QLineEdit::returnPressed, this, search);
    connect(btnSearch_, &QPushButton::clicked, this, search);
    connect(listResults_, &QListWidget::itemActivated, this, &THelpWindow::ItemActivated);
    connect(listResults_, &QListWidget::itemClicked, this, &THelpWindow::ItemActivated);
    return page;
}

// Our pages open here (a page missing from this build shows the contents);
// anything else is the browser's business.
void THelpWindow::LinkClicked(const QUrl& url) {
    const QUrl target = browser_->source().resolved(url);
    if (target.scheme() == QStringLiteral("qrc")) {
        const int topic = THelpTopics::TopicOf(target);
        ShowTopic(topic != 0 ? topic : int{THelpTopic::Contents});
        if (target.hasFragment()) {
            browser_->scrollToAnchor(target.fragment());
        }
        return;
    }
    QDesktopServices::openUrl(target);
}

void THelpWindow::ShowTopic(int topic) {
    browser_->setSource(THelpTopics::PageUrl(topic));
}

int THelpWindow::CurrentTopic() const {
    return THelpTopics::TopicOf(browser_->source());
}

void THelpWindow::Search(const QString& query) {
    lastQuery_ = query.simplified();
    editSearch_->setText(query);
    navigation_->setCurrentIndex(1);
    listResults_->clear();
    const std::vector<int> found = THelpTopics::Search(query);
    for (const int topic : found) {
        auto* item = new QListWidgetItem(THelpTopics::Title(topic), listResults_);
        item->setData(TopicRole, topic);
    }
    if (found.empty()) {
        auto* none = new QListWidgetItem(U("見つかりませんでした。"), listResults_);
        none->setFlags(Qt::NoItemFlags);
        return;
    }
    listResults_->setCurrentRow(0);
    ItemActivated(listResults_->item(0));
}

void THelpWindow::ItemActivated(QListWidgetItem* item) {
    if (item == nullptr || item->data(TopicRole).toInt() == 0) {
        return;
    }
    ShowTopic(item->data(TopicRole).toInt());
    if (item->listWidget() == listResults_ && !lastQuery_.isEmpty()) {
        MarkFirst(lastQuery_.section(u' ', 0, 0));
    }
}

void THelpWindow::MarkFirst(const QString& word) {
    QTextCursor start(browser_->document());
    browser_->setTextCursor(start);
    browser_->find(word);
}

// The contents list follows the page, however it was reached.
void THelpWindow::SourceChanged(const QUrl& url) {
    const int topic = THelpTopics::TopicOf(url);
    for (int i = 0; i < listContents_->count(); ++i) {
        if (listContents_->item(i)->data(TopicRole).toInt() == topic) {
            listContents_->setCurrentRow(i);
            return;
        }
    }
}

void THelpWindow::FollowModal(QWidget* modal) {
    if (modal == this || modal == parentWidget()) {
        return;
    }
    if (parentWidget() != nullptr) {
        parentWidget()->removeEventFilter(this);
    }
    Reparent(modal);
    if (modal != nullptr) {
        modal->installEventFilter(this);
    }
}

void THelpWindow::Reparent(QWidget* parent) {
    const bool wasVisible = isVisible();
    const QRect place = geometry();
    setParent(parent, Qt::Window);
    setGeometry(place);
    if (wasVisible) {
        show();
    }
}

// A message box inside a dialog hands the help window back to the dialog.
bool THelpWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Hide) {
        QWidget* outer = parentWidget()->parentWidget();
        while (outer != nullptr && !(outer->window()->isModal() && outer->window()->isVisible())) {
            outer = outer->window()->parentWidget();
        }
        FollowModal(outer == nullptr ? nullptr : outer->window());
    }
    return QWidget::eventFilter(watched, event);
}

void THelpWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}
