// One QApplication for all GUI tests, on the offscreen platform unless the
// environment names another, and a keyring in memory in place of the user's.

#include <gtest/gtest.h>
#include <QApplication>
#include <memory>

#include "FakeImapKeyring.h"

namespace {

class QtEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        app_ = std::make_unique<QApplication>(argc_, argv_);
        TImapKeyring::Install(&TestKeyring());
    }
    void TearDown() override {
        TImapKeyring::Install(nullptr);
        app_.reset();
    }

  private:
    int argc_ = 1;
    char name_[9] = "test_gui";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace

TFakeImapKeyring& TestKeyring() {
    static TFakeImapKeyring keyring;
    return keyring;
}
