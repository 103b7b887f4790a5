// The program's own files damaged before the window opens: each row spoils
// one of ksgrab.cfg, igntypes.ini, exctypes.ini or the working folder
// "cache", opens and closes the window, and checks what the window restored,
// what it said, and what is left on disk, the other files included.

#include <map>

#include "tests/ui/ui_test_support.h"

namespace kestrelin {
namespace {
namespace fs = std::filesystem;

// Garbage contents: SettingsWindowTest and TypeEditorTest.
enum class Bad { Truncated, Empty, Folder, ReadOnly, NulByte };
const char* const kBadNames[] = {"truncated", "empty", "folder", "read-only", "NUL byte"};
const char* const kOwnFiles[] = {"ksgrab.cfg", "igntypes.ini", "exctypes.ini", "cache"};

// What a row expects of the spoiled file after the window closed.
const char kUnchanged[] = "<unchanged>";  // the same bytes (or folder tree) as planted

struct Row {
  const char* File;
  Bad Kind;
  const char* StartMessage;  // a text the start-up message must hold; nullptr: no message
  const char* CloseMessage;  // the same for the shut-down message
  std::string After;         // its content after close, or kUnchanged
};

class BadLocalFilesTest : public test::MainWindowTest {
 protected:
  std::string Own(const std::string& name) const { return ProgramFolder() + "/" + name; }

  // Files (relative path -> bytes) at `path`, or below it when a folder;
  // a folder is marked by an entry "/".
  std::map<std::string, std::string> Snapshot(const std::string& path) const {
    std::map<std::string, std::string> found;
    if (fs::is_directory(path)) {
      found["/"] = "";
      for (const auto& file : test::ListTree(path))
        found[file] = test::ReadWholeFile(fs::path(path) / file);
    } else if (fs::exists(path)) {
      found[""] = test::ReadWholeFile(path);
    }
    return found;
  }

  // Good files with values that differ from every default.
  std::string GoodCfg() const {
    return JoinLinesCrLf({SandboxPath("dest"), "0", "1", "0", "1", "0", "1", "0", "0", "250", "1",
                          "0", "1", "1", "0"});
  }

  void PlantGoodFiles() {
    for (auto it = fs::recursive_directory_iterator(ProgramFolder());
         it != fs::recursive_directory_iterator(); ++it)
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add);
    fs::remove_all(ProgramFolder());
    fs::create_directories(SandboxPath("dest"));
    WriteFileAt("program/ksgrab.cfg", GoodCfg());
    WriteFileAt("program/igntypes.ini", "gif\r\nzip\r\n");
    WriteFileAt("program/exctypes.ini", "png\r\nsvg\r\n");
    WriteFileAt("program/cache/d%x%img%x%a.gif", "GIF89a leftover");
  }

  // Replaces one good file by its bad kind.
  void Spoil(const std::string& name, Bad kind) {
    const std::string path = Own(name);
    const bool cache = name == "cache";
    const std::string good = cache ? "" : test::ReadWholeFile(path);
    auto replaceByFile = [&](const std::string& bytes) {
      fs::remove_all(path);
      test::WriteWholeFile(path, bytes);
    };
    switch (kind) {
      case Bad::Truncated:
        if (cache) {  // a leftover download cut short
          test::WriteWholeFile(fs::path(path) / "d%x%page.html", "<html><body><a hr");
        } else {  // cut inside a list's second type
          replaceByFile(good.substr(0, 6));
        }
        break;
      case Bad::Empty: replaceByFile(""); break;
      case Bad::Folder:
        if (!cache) fs::remove(path);
        test::WriteWholeFile(fs::path(path) / "keep.txt", "the user's");
        fs::create_directories(fs::path(path) / "sub");
        test::WriteWholeFile(fs::path(path) / "sub" / "more.txt", "also the user's");
        break;
      case Bad::NulByte: {  // after the folder's name, or inside a type
        std::string text = good;
        text.insert(name == "ksgrab.cfg" ? SandboxPath("dest").size() : 2, std::string(1, '\0'));
        replaceByFile(text);
        break;
      }
      case Bad::ReadOnly:  // a folder keeps its x bit, so it can still be listed
        fs::permissions(path, cache ? fs::perms::owner_read | fs::perms::owner_exec
                                    : fs::perms::owner_read);
        break;
    }
  }

  // The message at `index` is an "Error" that holds `text` and names the
  // spoiled file and none of the others; a null `text` means no message.
  void ExpectOwnFileMessage(std::size_t index, const std::string& file, const char* text) {
    const auto& messages = dialogs.Messages;
    if (!text) {
      EXPECT_EQ(messages.size(), index) << (messages.size() > index ? messages[index].Text : "");
      return;
    }
    ASSERT_EQ(messages.size(), index + 1);
    ExpectMessage(index, "Error", text);
    for (const char* own : kOwnFiles)
      EXPECT_EQ(messages[index].Text.find(own) != std::string::npos, own == file)
          << own << " in: " << messages[index].Text;
  }
};

TEST_F(BadLocalFilesTest, EachSpoiledFileGivesDefaultsOrAMessageAndLosesNoOtherFile) {
  const std::string good = GoodCfg();
  const Row rows[] = {
      {"ksgrab.cfg", Bad::Folder, "ksgrab.cfg", "ksgrab.cfg", kUnchanged},
      {"ksgrab.cfg", Bad::ReadOnly, nullptr, nullptr, good},
      // The system would read the folder's name only up to the NUL: no folder.
      {"ksgrab.cfg", Bad::NulByte, nullptr, nullptr, HomeFolder() + good.substr(good.find('\r'))},
      {"igntypes.ini", Bad::Truncated, nullptr, nullptr, "gif\r\nz\r\n"},
      {"igntypes.ini", Bad::Empty, nullptr, nullptr, ""},
      {"igntypes.ini", Bad::Folder, "igntypes.ini", "igntypes.ini", kUnchanged},
      {"igntypes.ini", Bad::ReadOnly, nullptr, nullptr, kUnchanged},
      {"igntypes.ini", Bad::NulByte, nullptr, nullptr, "zip\r\n"},
      // Both lists share their editor: only the message names the file.
      {"exctypes.ini", Bad::Folder, "exctypes.ini", "exctypes.ini", kUnchanged},
      {"cache", Bad::Truncated, nullptr, nullptr, kUnchanged},
      {"cache", Bad::Empty, "working folder", nullptr, kUnchanged},
      {"cache", Bad::Folder, nullptr, nullptr, kUnchanged},
      {"cache", Bad::ReadOnly, nullptr, nullptr, kUnchanged},
  };
  for (const Row& row : rows) {
    const std::string name = row.File;
    SCOPED_TRACE(name + " " + kBadNames[static_cast<int>(row.Kind)]);
    PlantGoodFiles();
    Spoil(name, row.Kind);
    std::map<std::string, std::map<std::string, std::string>> before;
    for (const char* own : kOwnFiles) before[own] = Snapshot(Own(own));
    const std::string planted = before[name].count("") ? before[name][""] : "";
    dialogs.Messages.clear();

    OpenWindow();
    ExpectOwnFileMessage(0, name, row.StartMessage);
    const std::size_t startMessages = dialogs.Messages.size();
    if (name == "ksgrab.cfg" && row.Kind != Bad::Folder) {
      EXPECT_EQ(test::ReadWholeFile(Own(name)), planted);  // read well: not emptied
    }
    CloseWindow();
    ExpectOwnFileMessage(startMessages, name, row.CloseMessage);
    for (const char* own : kOwnFiles) {
      SCOPED_TRACE(own);
      // The user's other files survive, and the spoiled one ends as the row
      // says; the lists are written back from the window, so this also
      // checks what the window loaded.
      if (own != name || row.After == kUnchanged) {
        EXPECT_EQ(Snapshot(Own(own)), before[own]);
      } else {
        EXPECT_EQ(test::ReadWholeFile(Own(own)), row.After);
      }
    }
  }
}

}  // namespace
}  // namespace kestrelin
