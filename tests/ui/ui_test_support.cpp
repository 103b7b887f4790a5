#include "tests/ui/ui_test_support.h"

#include <cstdlib>
#include <filesystem>

namespace kestrelin::test {

QApplication& TestApp() {
  static int argc = 1;
  static char name[] = "ui_tests";
  static char* argv[] = {name, nullptr};
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  // Never destroyed: the platform plugin must outlive every static.
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

MessageAnswer RecordingDialogs::ShowMessage(QWidget*, const std::string& title,
                                            const std::string& text, MessageIcon icon,
                                            MessageButtons buttons) {
  Messages.push_back({title, text, icon, buttons});
  if (Answers.empty()) return MessageAnswer::Ok;
  const MessageAnswer answer = Answers.front();
  Answers.pop_front();
  return answer;
}

std::string RecordingDialogs::PromptText(QWidget*, const std::string&, const std::string& message) {
  Prompts.push_back(message);
  if (PromptAnswers.empty()) return {};
  std::string answer = PromptAnswers.front();
  PromptAnswers.pop_front();
  return answer;
}

void RecordingDialogs::OpenTarget(const std::string& target) { Opened.push_back(target); }

void MainWindowTest::SetUp() {
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

void MainWindowTest::TearDown() {
  if (window_) CloseWindow();
  SandboxedTest::TearDown();
}

frmMain& MainWindowTest::OpenWindow() {
  window_ = std::make_unique<frmMain>(MainWindowServices{
      windowFso ? *windowFso : fso, *cache, clock, dialogs, ProgramFolder(),
      SandboxPath("program/help.html"), HomeFolder(), volumes});
  window_->show();
  window_->Form_Load();
  return *window_;
}

void MainWindowTest::ExpectMessage(std::size_t index, const std::string& title,
                                   const std::string& text) const {
  ASSERT_GT(dialogs.Messages.size(), index);
  EXPECT_EQ(dialogs.Messages[index].Title, title);
  EXPECT_NE(dialogs.Messages[index].Text.find(text), std::string::npos)
      << dialogs.Messages[index].Text;
}

void MainWindowTest::CloseWindow() {
  window_->close();
  window_.reset();
}

}  // namespace kestrelin::test
