#pragma once
// What the window tests share: one offscreen QApplication, dialogs that
// answer at once and record what was asked, and a fixture that builds a
// main window over a sandboxed program folder.
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/curl_internet_cache.h"
#include "platform/std_file_service.h"
#include "platform/system_clock.h"
#include "tests/support/sandbox.h"
#include "ui/frm_main.h"
#include "ui/user_dialogs.h"

namespace kestrelin::test {

// The QApplication of the test binary, created on first use (offscreen
// unless QT_QPA_PLATFORM says otherwise).
QApplication& TestApp();

struct AskedMessage {
  std::string Title;
  std::string Text;
  MessageIcon Icon;
  MessageButtons Buttons;
};

class RecordingDialogs : public UserDialogs {
 public:
  MessageAnswer ShowMessage(QWidget* owner, const std::string& title, const std::string& text,
                            MessageIcon icon, MessageButtons buttons) override;
  std::string PromptText(QWidget* owner, const std::string& title,
                         const std::string& message) override;
  void OpenTarget(const std::string& target) override;

  std::vector<AskedMessage> Messages;
  std::deque<MessageAnswer> Answers;  // Ok once they run out
  std::vector<std::string> Prompts;
  std::deque<std::string> PromptAnswers;  // empty (Cancel) once they run out
  std::vector<std::string> Opened;
};

class MainWindowTest : public SandboxedTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A new window over the sandbox's program folder; Form_Load has run.
  frmMain& OpenWindow();
  // Closes the window (the shut-down sequence) and forgets it.
  void CloseWindow();

  template <typename T>
  T* Find(const char* name) const {
    T* found = window_->findChild<T*>(name);
    EXPECT_NE(found, nullptr) << name;
    return found;
  }

  bool Checked(const char* box) const { return Find<QCheckBox>(box)->isChecked(); }
  // A field marked invalid: its background is pure red.
  bool IsRed(const char* field) const {
    return Find<QLineEdit>(field)->palette().color(QPalette::Base) == QColor(255, 0, 0);
  }
  // The message at `index` exists, has `title` and holds `text`.
  void ExpectMessage(std::size_t index, const std::string& title, const std::string& text) const;

  std::string ProgramFolder() const { return SandboxPath("program"); }
  std::string HomeFolder() const { return SandboxPath("home"); }

  StdFileService fso;
  FileService* windowFso = nullptr;  // what OpenWindow gives the window; `fso` when null
  SystemClock clock;
  RecordingDialogs dialogs;
  std::unique_ptr<CurlInternetCache> cache;
  std::vector<Volume> volumes;
  std::unique_ptr<frmMain> window_;
};

}  // namespace kestrelin::test
