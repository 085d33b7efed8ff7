#include <gtest/gtest.h>
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QRegularExpression>
#include <QScreen>
#include <QTextBrowser>

#include "GuiTest.h"
#include "gui/help/TBuiltInHelpService.h"
#include "gui/help/THelpTopics.h"
#include "gui/help/THelpWindow.h"

namespace {

// Every topic number the windows and messages ask for.
const int UsedTopics[] = {1,  8,  10,  15,  21,  25,  31,  34,  46,  48,  52, 57,
                          61, 72, 135, 139, 150, 168, 169, 180, 181, 182, 183};

TEST(HelpTopics, EveryUsedTopicHasARealPage) {
    for (const int topic : UsedTopics) {
        EXPECT_TRUE(THelpTopics::HasPage(topic)) << topic;
        EXPECT_FALSE(THelpTopics::Title(topic).isEmpty()) << topic;
        EXPECT_GT(THelpTopics::PlainText(topic).size(), 300) << topic;
    }
    EXPECT_EQ(THelpTopics::All().size(), std::size(UsedTopics));
    EXPECT_EQ(THelpTopics::PageUrl(0), THelpTopics::PageUrl(1));
    EXPECT_EQ(THelpTopics::PageUrl(9999), THelpTopics::PageUrl(1));
}

TEST(HelpTopics, EveryLinkBetweenPagesLeadsToAPage) {
    static const QRegularExpression link(QStringLiteral("href=\"([^\"#]*)"));
    for (const THelpPage& t : THelpTopics::All()) {
        const QString html = THelpTopics::Html(t.number);
        for (auto it = link.globalMatch(html); it.hasNext();) {
            const QString target = it.next().captured(1);
            if (target.startsWith(QStringLiteral("http"))) {
                continue;
            }
            const QUrl url = THelpTopics::PageUrl(t.number).resolved(QUrl(target));
            EXPECT_NE(THelpTopics::TopicOf(url), 0) << t.number << " -> " << target.toStdString();
        }
    }
}

TEST(HelpTopics, SearchFindsPagesHoldingEveryWord) {
    const auto found = THelpTopics::Search(Q("MBOX"));
    EXPECT_NE(std::find(found.begin(), found.end(), 34), found.end());
    EXPECT_TRUE(THelpTopics::Search(Q("存在しない語句xyzzy")).empty());
    EXPECT_TRUE(THelpTopics::Search(Q("  ")).empty());
}

TEST(HelpWindow, ShowsTopicsFollowsLinksAndSearches) {
    TBuiltInHelpService service;
    service.ShowTopic(34);
    THelpWindow* window = service.Window();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->CurrentTopic(), 34);
    auto* contents = Find<QListWidget>(*window, "ListContents");
    ASSERT_NE(contents->currentItem(), nullptr);
    EXPECT_EQ(contents->currentItem()->text(), THelpTopics::Title(34));  // the list follows
    service.ShowTopic(4711);                                             // no page: the contents
    EXPECT_EQ(window->CurrentTopic(), 1);
    EXPECT_EQ(service.Window(), window);  // one window for all requests

    window->Search(Q("区切り行"));
    ASSERT_GT(window->Results()->count(), 0);
    EXPECT_NE(window->CurrentTopic(), 1);
    EXPECT_EQ(window->Browser()->textCursor().selectedText(), Q("区切り行"));
    window->Search(Q("xyzzy"));
    EXPECT_EQ(window->Results()->count(), 1);  // "not found"
    EXPECT_EQ(window->Results()->item(0)->flags(), Qt::NoItemFlags);

    service.Quit();
    EXPECT_EQ(service.Window(), nullptr);
}

// A modal dialog blocks every window that is not its own: help asked for in a
// dialog must still be usable, and must outlive the dialog.
TEST(HelpWindow, StaysUsableWhileAModalDialogIsOpen) {
    TBuiltInHelpService service;
    service.ShowTopic(1);
    THelpWindow* window = service.Window();
    {
        QDialog dialog;
        dialog.setModal(true);
        dialog.show();
        QDialog box(&dialog);  // a message box on top of it
        box.setModal(true);
        box.show();
        service.ShowTopic(72);
        EXPECT_EQ(window->parentWidget(), &box);
        EXPECT_TRUE(window->isVisible());
        box.hide();
        EXPECT_EQ(window->parentWidget(), &dialog);
        dialog.hide();
        EXPECT_EQ(window->parentWidget(), nullptr);
    }
    ASSERT_EQ(service.Window(), window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->CurrentTopic(), 72);
    service.Quit();
}

TEST(HelpWindow, OpensBesideItsOwnerOnScreenAndAltSLeadsToTheSearch) {
    TBuiltInHelpService service;
    QDialog dialog;
    dialog.resize(300, 200);
    dialog.move(40, 60);
    ShowActive(dialog);
    service.ShowTopic(72);
    THelpWindow* window = service.Window();
    ASSERT_NE(window, nullptr);
    const QRect area = window->screen()->availableGeometry();
    EXPECT_TRUE(area.contains(window->frameGeometry()));
    ShowActive(*window);
    QTest::keyClick(window, Qt::Key_S, Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget(),
              window->findChild<QLineEdit*>(QStringLiteral("EditSearch")));
    service.Quit();
}

}  // namespace
