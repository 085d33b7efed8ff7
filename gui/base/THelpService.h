#pragma once
// Help by topic number (F1 and the Help buttons). Widgets carry their topic
// as a help context; F1 shows the context of the focused widget or, when it
// has none, of the nearest enclosing widget that has one.

#include <vector>

class QWidget;

class THelpService {
  public:
    virtual ~THelpService() = default;
    // Topic 0 stands for the help contents.
    virtual void ShowTopic(int topic) = 0;
    // Closes whatever help shows (the program is ending).
    virtual void Quit() {}

    static THelpService& Current();
    // Installs a service and returns the previous one; the caller keeps
    // ownership. The program installs the help window (gui/help) at its start;
    // with none installed (nullptr) help is recorded and shown nowhere.
    static THelpService* Install(THelpService* service);

    static void SetContext(QWidget* widget, int topic);
    // The widget's own context (0 for none).
    static int OwnContext(const QWidget* widget);
    // The first non-zero context from the widget outwards to its window.
    static int ContextFor(const QWidget* widget);
};

// Remembers the topics asked for; for tests and for builds without help pages.
class TRecordingHelpService : public THelpService {
  public:
    void ShowTopic(int topic) override { topics_.push_back(topic); }
    const std::vector<int>& Topics() const { return topics_; }
    void Clear() { topics_.clear(); }

  private:
    std::vector<int> topics_;
};

class THelpServiceScope {
  public:
    explicit THelpServiceScope(THelpService& service)
        : previous_(THelpService::Install(&service)) {}
    ~THelpServiceScope() { THelpService::Install(previous_); }
    THelpServiceScope(const THelpServiceScope&) = delete;
    THelpServiceScope& operator=(const THelpServiceScope&) = delete;

  private:
    THelpService* previous_;
};
