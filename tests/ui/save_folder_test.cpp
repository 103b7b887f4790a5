// The destination folder: the drive list, the folder list and new folders.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QListWidget>
#include <filesystem>

#include "tests/ui/ui_test_support.h"
#include "ui/folder_list.h"

namespace kestrelin {
namespace {

class SaveFolderTest : public test::MainWindowTest {
 protected:
  FolderList* Dir1() { return Find<FolderList>("Dir1"); }
};

TEST_F(SaveFolderTest, FolderListShowsParentsAndSubFoldersAndOpensOnActivation) {
  std::filesystem::create_directories(SandboxPath("home/b"));
  std::filesystem::create_directories(SandboxPath("home/a"));
  std::filesystem::create_directories(SandboxPath("home/.hidden"));
  OpenWindow();
  FolderList* list = Dir1();
  EXPECT_EQ(list->Path(), HomeFolder());
  const std::string home = HomeFolder();
  const int parents = static_cast<int>(std::count(home.begin(), home.end(), '/'));
  ASSERT_EQ(list->count(), parents + 1 + 2);  // "/", the parents, home itself, a and b
  EXPECT_EQ(list->item(0)->text().trimmed(), "/");
  EXPECT_EQ(list->currentRow(), parents);
  EXPECT_EQ(list->item(parents + 1)->text().trimmed(), "a");
  EXPECT_EQ(list->item(parents + 2)->text().trimmed(), "b");
  emit list->itemActivated(list->item(parents + 2));
  EXPECT_EQ(list->Path(), SandboxPath("home/b"));
  emit list->itemActivated(list->item(0));
  EXPECT_EQ(list->Path(), "/");
}

TEST_F(SaveFolderTest, NewFolderIsCreatedBelowTheOpenOneAndOpened) {
  OpenWindow();
  dialogs.PromptAnswers = {"new"};
  window_->cmdNewDir_Click();
  ASSERT_EQ(dialogs.Prompts.size(), 1u);
  EXPECT_EQ(dialogs.Prompts[0], "Enter folder name:");
  EXPECT_TRUE(std::filesystem::is_directory(SandboxPath("home/new")));
  EXPECT_EQ(Dir1()->Path(), SandboxPath("home/new"));
  EXPECT_TRUE(dialogs.Messages.empty());

  Dir1()->SetPath(HomeFolder());
  dialogs.PromptAnswers = {"new"};
  window_->cmdNewDir_Click();
  ASSERT_EQ(dialogs.Messages.size(), 1u);
  EXPECT_EQ(dialogs.Messages[0].Text, "Folder already exists");
  EXPECT_EQ(dialogs.Messages[0].Title, "Kestrelin");
  EXPECT_EQ(Dir1()->Path(), SandboxPath("home/new"));
}

TEST_F(SaveFolderTest, CancelChangesNothingAndAFailedCreationStaysPut) {
  OpenWindow();
  window_->cmdNewDir_Click();  // Cancel
  EXPECT_EQ(Dir1()->Path(), HomeFolder());
  EXPECT_TRUE(dialogs.Messages.empty());
  dialogs.PromptAnswers = {"missing/inner"};
  window_->cmdNewDir_Click();
  ASSERT_EQ(dialogs.Messages.size(), 1u);
  ExpectMessage(0, "Error", "could not be created");
  EXPECT_EQ(Dir1()->Path(), HomeFolder());
  EXPECT_FALSE(std::filesystem::exists(SandboxPath("home/missing")));
}

TEST_F(SaveFolderTest, AnUnreadableDriveGoesBackToThePreviousDrive) {
  std::filesystem::create_directories(SandboxPath("usb"));
  volumes = {{"/", "/"}, {SandboxPath("usb"), "usb"}, {SandboxPath("gone"), "gone"}};
  OpenWindow();
  auto* drives = Find<QComboBox>("Drive1");
  EXPECT_EQ(drives->currentIndex(), 0);  // home lies on "/"
  EXPECT_EQ(Dir1()->Path(), HomeFolder());  // selecting at start-up does not move
  drives->setCurrentIndex(1);
  EXPECT_EQ(Dir1()->Path(), SandboxPath("usb"));
  drives->setCurrentIndex(2);
  ASSERT_EQ(dialogs.Messages.size(), 1u);
  EXPECT_EQ(dialogs.Messages[0].Text, "Drive not available.");
  EXPECT_EQ(dialogs.Messages[0].Title, "Error");
  EXPECT_EQ(dialogs.Messages[0].Icon, MessageIcon::Error);
  EXPECT_EQ(drives->currentIndex(), 1);
  EXPECT_EQ(Dir1()->Path(), SandboxPath("usb"));
}

TEST_F(SaveFolderTest, StartUpSelectsTheDriveHoldingTheRestoredFolder) {
  std::filesystem::create_directories(SandboxPath("usb/site"));
  WriteFileAt("program/ksgrab.cfg", SandboxPath("usb/site") + "\r\n");
  volumes = {{"/", "/"}, {SandboxPath("usb"), "usb"}};
  OpenWindow();
  EXPECT_EQ(Find<QComboBox>("Drive1")->currentIndex(), 1);
  EXPECT_EQ(Dir1()->Path(), SandboxPath("usb/site"));
}

}  // namespace
}  // namespace kestrelin
