#pragma once
// What the window tests share: one offscreen QApplication, dialogs that
// answer at once and record what was asked, and a fixture that builds a
// main window over a sandboxed program folder. It also includes what
// every window test uses: GoogleTest, the window's widget classes and the
// text-line helpers.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/text_lines.h"
#include "platform/curl_internet_cache.h"
#include "platform/std_file_service.h"
#include "platform/system_clock.h"
#include "tests/support/sandbox.h"
#include "ui/folder_list.h"
#include "ui/frm_main.h"
#include "ui/user_dialogs.h"

namespace kestrelin::test {

// The QApplication of the test binary, created on first use (offscreen
// unless QT_QPA_PLATFORM says otherwise) and never destroyed: the platform
// plugin must outlive every static.
inline QApplication& TestApp() {
  static int argc = 1;
  static char name[] = "ui_tests";
  static char* argv[] = {name, nullptr};
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

struct AskedMessage { std::string Title, Text; MessageIcon Icon; MessageButtons Buttons; };

class RecordingDialogs : public UserDialogs {
 public:
  MessageAnswer ShowMessage(QWidget*, const std::string& title, const std::string& text,
                            MessageIcon icon, MessageButtons buttons) override {
    // The window is shown only once its start-up has filled it.
    for (QWidget* top : QApplication::topLevelWidgets()) {
      if (auto* main = qobject_cast<frmMain*>(top); main && main->isVisible()) {
        EXPECT_TRUE(main->FormReady()) << "asked over a half-filled window: " << text;
      }
    }
    Messages.push_back({title, text, icon, buttons});
    return Next(Answers, MessageAnswer::Ok);
  }
  std::string PromptText(QWidget*, const std::string&, const std::string& message) override {
    Prompts.push_back(message);
    return Next(PromptAnswers, std::string());
  }
  void OpenTarget(const std::string& target) override { Opened.push_back(target); }

  std::vector<AskedMessage> Messages;
  std::deque<MessageAnswer> Answers;  // Ok once they run out
  std::vector<std::string> Prompts;
  std::deque<std::string> PromptAnswers;  // empty (Cancel) once they run out
  std::vector<std::string> Opened;

 private:
  template <typename T>
  static T Next(std::deque<T>& answers, T otherwise) {
    if (answers.empty()) return otherwise;
    T answer = answers.front();
    answers.pop_front();
    return answer;
  }
};

class MainWindowTest : public SandboxedTest {
 protected:
  void SetUp() override {
    SandboxedTest::SetUp();
    TestApp();
    std::filesystem::create_directories(ProgramFolder());
    std::filesystem::create_directories(HomeFolder());
    CurlCacheSettings settings;
    settings.CacheFolder = SandboxPath("inet");
    settings.ConnectTimeoutSeconds = 5;
    settings.StallTimeoutSeconds = 5;
    cache = std::make_unique<CurlInternetCache>(settings);
    volumes = {{"/", "/"}};
  }
  void TearDown() override {
    if (window_) CloseWindow();
    SandboxedTest::TearDown();
  }

  // A new window over the sandbox's program folder, loaded and shown as
  // the program does it.
  frmMain& OpenWindow() {
    window_ = std::make_unique<frmMain>(MainWindowServices{
        fso, *cache, clock, dialogs, ProgramFolder(),
        SandboxPath("program/help.html"), HomeFolder(), volumes});
    window_->Form_Load();
    EXPECT_TRUE(window_->isVisible());
    return *window_;
  }
  // Closes the window (the shut-down sequence) and forgets it.
  void CloseWindow() {
    window_->close();
    window_.reset();
  }

  template <typename T>
  T* Find(const char* name) const {
    T* found = window_->findChild<T*>(name);
    EXPECT_NE(found, nullptr) << name;
    return found;
  }
  bool Checked(const char* box) const { return Find<QCheckBox>(box)->isChecked(); }
  bool Enabled(const char* name) const { return Find<QWidget>(name)->isEnabled(); }
  // A field marked invalid: its background is pure red.
  bool IsRed(const char* field) const {
    return Find<QLineEdit>(field)->palette().color(QPalette::Base) == QColor(255, 0, 0);
  }
  // The message at `index` exists, has `title` and holds `text`.
  void ExpectMessage(std::size_t index, const std::string& title, const std::string& text) const {
    ASSERT_GT(dialogs.Messages.size(), index);
    EXPECT_EQ(dialogs.Messages[index].Title, title);
    EXPECT_NE(dialogs.Messages[index].Text.find(text), std::string::npos)
        << dialogs.Messages[index].Text;
  }

  std::string ProgramFolder() const { return SandboxPath("program"); }
  std::string HomeFolder() const { return SandboxPath("home"); }

  StdFileService fso;
  SystemClock clock;
  RecordingDialogs dialogs;
  std::unique_ptr<CurlInternetCache> cache;
  std::vector<Volume> volumes;
  std::unique_ptr<frmMain> window_;
};

}  // namespace kestrelin::test
