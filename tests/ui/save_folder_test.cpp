// The destination folder: the drive list, the folder list and new folders.

#include "tests/ui/ui_test_support.h"

namespace kestrelin {
namespace {

class SaveFolderTest : public test::MainWindowTest {
 protected:
  FolderList* Dir1() { return Find<FolderList>("Dir1"); }
};

TEST_F(SaveFolderTest, FolderListShowsParentsAndSubFoldersAndOpensOnActivation) {
  for (const char* sub : {"b", "a", ".hidden", "caf\xE9"})  // the last one not UTF-8
    std::filesystem::create_directories(SandboxPath("home/") + sub);
  OpenWindow();
  FolderList* list = Dir1();
  EXPECT_EQ(list->Path(), HomeFolder());
  const std::string home = HomeFolder();
  const int parents = static_cast<int>(std::count(home.begin(), home.end(), '/'));
  ASSERT_EQ(list->count(), parents + 1 + 3);  // "/", the parents, home itself, a, b, caf
  EXPECT_EQ(list->item(0)->text().trimmed(), "/");
  EXPECT_EQ(list->currentRow(), parents);
  EXPECT_EQ(list->item(parents + 1)->text().trimmed(), "a");
  EXPECT_EQ(list->item(parents + 2)->text().trimmed(), "b");
  emit list->itemActivated(list->item(parents + 3));
  EXPECT_EQ(list->Path(), SandboxPath("home/caf\xE9"));
  emit list->itemActivated(list->item(parents));
  emit list->itemActivated(list->item(parents + 2));
  EXPECT_EQ(list->Path(), SandboxPath("home/b"));
  emit list->itemActivated(list->item(0));
  EXPECT_EQ(list->Path(), "/");
}

TEST_F(SaveFolderTest, NewFolderIsCreatedBelowTheOpenOneAndOpened) {
  OpenWindow();
  // Each row starts in the home folder; a null answer is Cancel, a null
  // message none; the message is the whole text or, not `exact`, part of it.
  const struct {
    const char* answer; const char* title; const char* message; bool exact; const char* opened;
  } rows[] = {
      {"new", nullptr, nullptr, false, "home/new"},
      {"new", "Kestrelin", "Folder already exists", true, "home/new"},  // and the folder opens
      {nullptr, nullptr, nullptr, false, "home"},
      {"missing/inner", "Error", "could not be created", false, "home"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.answer ? r.answer : "Cancel");
    Dir1()->SetPath(HomeFolder());
    dialogs.Messages.clear();
    dialogs.Prompts.clear();
    if (r.answer) dialogs.PromptAnswers = {r.answer};
    window_->cmdNewDir_Click();
    EXPECT_EQ(dialogs.Prompts, std::vector<std::string>{"Enter folder name:"});
    EXPECT_EQ(Dir1()->Path(), SandboxPath(r.opened));
    EXPECT_EQ(dialogs.Messages.size(), r.message ? 1u : 0u);
    if (r.message) ExpectMessage(0, r.title, r.message);
    if (r.exact && !dialogs.Messages.empty()) { EXPECT_EQ(dialogs.Messages[0].Text, r.message); }
  }
  EXPECT_TRUE(std::filesystem::is_directory(SandboxPath("home/new")));
  EXPECT_FALSE(std::filesystem::exists(SandboxPath("home/missing")));
}

TEST_F(SaveFolderTest, StartUpSelectsTheFoldersDriveAndAnUnreadableDriveGoesBack) {
  std::filesystem::create_directories(SandboxPath("usb/site"));
  WriteFileAt("program/ksgrab.cfg", SandboxPath("usb/site") + "\r\n");
  volumes = {{"/", "/"}, {SandboxPath("usb"), "usb"}, {SandboxPath("gone"), "gone"}};
  OpenWindow();
  auto* drives = Find<QComboBox>("Drive1");
  EXPECT_EQ(drives->currentIndex(), 1);
  EXPECT_EQ(Dir1()->Path(), SandboxPath("usb/site"));  // selecting at start-up does not move
  drives->setCurrentIndex(2);
  ASSERT_EQ(dialogs.Messages.size(), 1u);
  EXPECT_EQ(dialogs.Messages[0].Text, "Drive not available.");
  EXPECT_EQ(dialogs.Messages[0].Title, "Error");
  EXPECT_EQ(dialogs.Messages[0].Icon, MessageIcon::Error);
  EXPECT_EQ(drives->currentIndex(), 1);
  EXPECT_EQ(Dir1()->Path(), SandboxPath("usb"));  // the previous drive's root
  drives->setCurrentIndex(0);
  EXPECT_EQ(Dir1()->Path(), "/");
}

}  // namespace
}  // namespace kestrelin
