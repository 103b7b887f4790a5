// The file-type editors: their files, Add and its refusals, Remove limits,
// hiding while the main window is open, and the live lists.

#include "tests/ui/ui_test_support.h"
#include "ui/frm_type_editor.h"

namespace kestrelin {
namespace {

class TypeEditorTest : public test::MainWindowTest {
 protected:
  void Add(frmTypeEditor& editor, const char* text) {
    editor.findChild<QLineEdit*>("txtExt")->setText(text);
    editor.cmdAdd_Click();
  }
  void Select(frmTypeEditor& editor, int row) {
    auto* list = editor.findChild<QListWidget*>("lstExt");
    list->clearSelection();
    if (row >= 0) list->item(row)->setSelected(true);
  }
  const std::vector<std::string> kPages = {"html", "htm", "php", "shtml", "shtm", "phtml"};
};

// A first start creates both files empty; Add then takes the text after the
// first dot in lower case, or refuses it.
TEST_F(TypeEditorTest, FirstStartThenAddTakesTheTextAfterTheFirstDotInLowerCaseOrRefusesIt) {
  OpenWindow();
  frmTypeEditor& ign = window_->IgnTypes();
  frmTypeEditor& exc = window_->ExcTypes();
  EXPECT_EQ(ReadFileAt("program/igntypes.ini"), "");
  EXPECT_EQ(ReadFileAt("program/exctypes.ini"), "");
  EXPECT_TRUE(ign.Types().empty());
  EXPECT_EQ(exc.Types(), kPages);
  EXPECT_FALSE(ign.isVisible());
  // Each row adds `text`; `added` is the new last entry, null when nothing
  // is added; `refusal` the message, null when none ("a.b.c" gives "b.c",
  // which is no type and is dropped without a word, as are the others).
  const struct { frmTypeEditor* editor; const char* text; const char* added, *refusal; } rows[] = {
      {&ign, "*.JPG", "jpg", nullptr}, {&ign, "jpg", "jpg", nullptr},
      {&ign, "tar.gz", "gz", nullptr}, {&ign, "a.b.c", nullptr, nullptr},
      {&ign, "my-type", nullptr, nullptr}, {&ign, "gif ", nullptr, nullptr},
      {&ign, "abc.", "", nullptr},
      {&ign, "html", nullptr, "Cannot ignore this file type."},
      {&ign, "asp", "asp", nullptr},
      {&exc, "asp", nullptr, "Cannot add this file type."},
      {&exc, "CGI", nullptr, "Cannot add this file type."},
      {&exc, "html", "html", nullptr},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.text);
    const std::size_t size = r.editor->Types().size();
    dialogs.Messages.clear();
    Add(*r.editor, r.text);
    ASSERT_EQ(r.editor->Types().size(), size + (r.added ? 1 : 0));
    if (r.added) { EXPECT_EQ(r.editor->Types().back(), r.added); }
    ASSERT_EQ(dialogs.Messages.size(), r.refusal ? 1u : 0u);
    if (r.refusal) {
      ExpectMessage(0, "Kestrelin", r.refusal);
      EXPECT_EQ(dialogs.Messages[0].Buttons, MessageButtons::OkCancel);
    }
    EXPECT_EQ(r.editor->findChild<QLineEdit*>("txtExt")->text(), "");
  }
}

TEST_F(TypeEditorTest, RemoveKeepsTheProtectedEntries) {
  OpenWindow();
  frmTypeEditor& ign = window_->IgnTypes();
  frmTypeEditor& exc = window_->ExcTypes();
  for (const char* t : {"a", "b", "c"}) Add(ign, t);
  for (const char* t : {"gif", "png"}) Add(exc, t);
  const struct { frmTypeEditor* editor; int row; bool removed; } cases[] = {
      {&ign, -1, false}, {&ign, 0, false}, {&ign, 1, false}, {&ign, 2, true},
      {&exc, -1, false}, {&exc, 5, false}, {&exc, 6, true},
  };
  for (const auto& c : cases) {
    const std::size_t before = c.editor->Types().size();
    const std::size_t messages = dialogs.Messages.size();
    Select(*c.editor, c.row);
    c.editor->cmdRemove_Click();
    EXPECT_EQ(c.editor->Types().size(), c.removed ? before - 1 : before) << c.row;
    EXPECT_EQ(dialogs.Messages.size(), c.removed ? messages : messages + 1) << c.row;
    if (!c.removed) {
      EXPECT_EQ(dialogs.Messages.back().Text, "Cannot remove these types.");
    }
  }
  EXPECT_EQ(ign.Types(), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(exc.Types().size(), 7u);
  EXPECT_EQ(exc.Types()[5], "phtml");
  EXPECT_EQ(exc.Types()[6], "png");  // gif at index 6 went
}

TEST_F(TypeEditorTest, FilesAreValidatedWhenReadAndWrittenOnlyAtShutDown) {
  WriteFileAt("program/exctypes.ini", "gif\r\npng\r\nasp\r\nBAD\r\n");
  WriteFileAt("program/igntypes.ini", "zip\r\nhtml\r\n");
  OpenWindow();
  frmTypeEditor& ign = window_->IgnTypes();
  std::vector<std::string> expected = kPages;
  expected.insert(expected.end(), {"gif", "png"});
  EXPECT_EQ(window_->ExcTypes().Types(), expected);
  EXPECT_EQ(ign.Types(), std::vector<std::string>{"zip"});
  ASSERT_EQ(dialogs.Messages.size(), 2u);  // html and asp refused with a message
  EXPECT_EQ(dialogs.Messages[0].Text, "Cannot ignore this file type.");
  EXPECT_EQ(dialogs.Messages[1].Text, "Cannot add this file type.");

  window_->cmdSetIgnore_Click();
  EXPECT_TRUE(ign.isVisible() && ign.isModal());
  Add(ign, "rar");
  ign.close();
  EXPECT_FALSE(ign.isVisible());
  EXPECT_EQ(ign.Types().back(), "rar");  // closing only hid it
  EXPECT_EQ(ReadFileAt("program/igntypes.ini"), "zip\r\nhtml\r\n");
  CloseWindow();
  EXPECT_EQ(ReadFileAt("program/exctypes.ini"), "gif\r\npng\r\n");
  EXPECT_EQ(ReadFileAt("program/igntypes.ini"), "zip\r\nrar\r\n");
}

}  // namespace
}  // namespace kestrelin
