#pragma once
// The help pages compiled into the program, one per topic number, and a plain
// text search over them. Topic 1 (and 0) is the contents page; a number
// without a page shows the contents too.

#include <QString>
#include <QUrl>
#include <vector>

#include "base/THelpTopic.h"

struct THelpPage {
    int number;
    const char* title;  // UTF-8
};

class THelpTopics {
  public:
    // Every topic with a page, in the order the contents list shows them.
    static const std::vector<THelpPage>& All();
    static bool HasPage(int topic);
    // The page shown for the number: its own, or the contents.
    static QUrl PageUrl(int topic);
    // The topic of a page address, 0 when it is none of ours.
    static int TopicOf(const QUrl& url);
    static QString Title(int topic);
    // The page's HTML.
    static QString Html(int topic);
    // The page as plain text (what the search looks at).
    static QString PlainText(int topic);
    // Topics whose text holds every word of the query (blank separated,
    // letter case ignored), in contents order.
    static std::vector<int> Search(const QString& query);
};
