// The order in which the window reads and writes its own files (ksgrab.cfg,
// the two type lists, the working folder) at start-up and shut-down, seen
// through a recording file service, and that nothing touches them between.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include "tests/ui/recording_file_service.h"
#include "tests/ui/ui_test_support.h"
#include "ui/frm_type_editor.h"

namespace kestrelin {
namespace {

class OwnFilesOrderTest : public test::MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    windowFso = &recorder;
  }

  // Calls on anything in the program folder from call `from` on, as
  // "op name" (existence checks left out).
  std::vector<std::string> OwnFileCalls(std::size_t from) const {
    const std::string folder = ProgramFolder() + "/";
    std::vector<std::string> calls;
    for (std::size_t n = from; n < recorder.Calls.size(); ++n) {
      const test::FileCall& call = recorder.Calls[n];
      if (call.Op != "exists" && call.Path.starts_with(folder))
        calls.push_back(call.Op + " " + call.Path.substr(folder.size()));
    }
    return calls;
  }

  test::RecordingFileService recorder;
};

TEST_F(OwnFilesOrderTest, SettingsAreReadBeforeTheListsAndWrittenAfterThem) {
  struct Run {
    const char* Name;
    std::vector<std::string> StartUp;
  };
  const std::vector<std::string> shutDown = {"write igntypes.ini", "write exctypes.ini",
                                             "write ksgrab.cfg"};
  const Run runs[] = {
      // Nothing there yet: each failed reading leaves its empty file at once.
      {"first run",
       {"read ksgrab.cfg", "write ksgrab.cfg", "read ksoffline.cfg", "mkdir cache",
        "read igntypes.ini",
        "write igntypes.ini", "read exctypes.ini", "write exctypes.ini"}},
      // The files the first run wrote: read only.
      {"second run",
       {"read ksgrab.cfg", "read ksoffline.cfg", "read igntypes.ini", "read exctypes.ini"}},
  };
  for (const Run& run : runs) {
    SCOPED_TRACE(run.Name);
    recorder.Calls.clear();
    OpenWindow();
    EXPECT_EQ(OwnFileCalls(0), run.StartUp);

    // Options and list edits while the window is open stay in the window.
    const std::size_t opened = recorder.Calls.size();
    Find<QCheckBox>("chkLimitSize")->toggle();
    Find<QCheckBox>("chkNoDownload")->toggle();
    Find<QLineEdit>("txtSize")->setText("7");
    window_->IgnTypes().findChild<QLineEdit*>("txtExt")->setText("zip");
    window_->IgnTypes().cmdAdd_Click();
    EXPECT_EQ(OwnFileCalls(opened), std::vector<std::string>{});

    const std::size_t edited = recorder.Calls.size();
    CloseWindow();
    EXPECT_EQ(OwnFileCalls(edited), shutDown);
    EXPECT_TRUE(dialogs.Messages.empty());
  }
}

}  // namespace
}  // namespace kestrelin
