// Where the desktop program keeps its files.
#include "platform/program_folders.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "tests/support/sandbox.h"

namespace kestrelin {
namespace {

class ProgramFoldersTest : public test::SandboxedTest {
 protected:
  void SetUp() override {
    SandboxedTest::SetUp();
    for (const char* name : {"XDG_DATA_HOME", "XDG_CACHE_HOME", "HOME"}) {
      const char* value = std::getenv(name);
      saved_.push_back({name, value ? std::optional<std::string>(value) : std::nullopt});
    }
  }
  void TearDown() override {
    for (const auto& [name, value] : saved_) {
      if (value) setenv(name.c_str(), value->c_str(), 1);
      else unsetenv(name.c_str());
    }
    SandboxedTest::TearDown();
  }
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

// XDG variables win over the home folder; a program folder nothing can be
// written in falls back to the data folder.
TEST_F(ProgramFoldersTest, XdgVariablesWinAndAnUnwritableFolderFallsBackToTheDataFolder) {
  setenv("HOME", SandboxPath("home").c_str(), 1);
  unsetenv("XDG_DATA_HOME");
  unsetenv("XDG_CACHE_HOME");
  EXPECT_EQ(UserDataFolder(), SandboxPath("home/.local/share/kestrelin"));
  EXPECT_EQ(InternetCacheFolder(), SandboxPath("home/.cache/kestrelin"));
  EXPECT_EQ(DefaultDestinationFolder(), SandboxPath("home"));
  setenv("XDG_DATA_HOME", SandboxPath("data").c_str(), 1);
  setenv("XDG_CACHE_HOME", SandboxPath("cachehome").c_str(), 1);
  EXPECT_EQ(UserDataFolder(), SandboxPath("data/kestrelin"));
  EXPECT_EQ(InternetCacheFolder(), SandboxPath("cachehome/kestrelin"));
  std::filesystem::create_directories(SandboxPath("bin"));
  EXPECT_EQ(ChooseProgramFolder(SandboxPath("bin")), SandboxPath("bin"));
  WriteFileAt("notafolder", "x");  // nothing can be written below a file
  EXPECT_EQ(ChooseProgramFolder(SandboxPath("notafolder")), SandboxPath("data/kestrelin"));
  EXPECT_TRUE(std::filesystem::is_directory(SandboxPath("data/kestrelin")));
}

TEST_F(ProgramFoldersTest, HelpIsFoundBesideTheProgramOrInItsShareFolder) {
  std::filesystem::create_directories(SandboxPath("prefix/bin"));
  EXPECT_EQ(FindHelpFile(SandboxPath("prefix/bin")), SandboxPath("prefix/bin/help.html"));
  WriteFileAt("prefix/share/kestrelin/help.html", "<html>");
  EXPECT_EQ(FindHelpFile(SandboxPath("prefix/bin")),
            SandboxPath("prefix/share/kestrelin/help.html"));
  WriteFileAt("prefix/bin/help.html", "<html>");
  EXPECT_EQ(FindHelpFile(SandboxPath("prefix/bin")), SandboxPath("prefix/bin/help.html"));
}

}  // namespace
}  // namespace kestrelin
