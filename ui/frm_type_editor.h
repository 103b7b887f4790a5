#pragma once
// frmIgnTypes and frmExcTypes: the editors of the ignored and the exclusive
// file-type lists, one window class in two configurations. The list shown
// is the live list: link extraction reads it through LiveTypeLists during a
// crawl. Each editor reads its file (igntypes.ini / exctypes.ini in the
// program's folder) when loaded and writes it when unloaded at shut-down.
// While MainLoaded is 1, closing an editor only hides it.
#include <QDialog>
#include <string>
#include <vector>

#include "engine/crawl_state.h"
#include "engine/file_service.h"
#include "engine/file_type_lists.h"
#include "engine/type_list_file.h"
#include "ui/user_dialogs.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace kestrelin {

class frmTypeEditor : public QDialog {
  Q_OBJECT
 public:
  // `owner` is the main window, enabled and shown again by Done.
  frmTypeEditor(TypeListKind kind, CrawlState& state, FileService& fso, UserDialogs& dialogs,
                QWidget* owner);

  TypeListKind Kind() const { return kind_; }
  const std::vector<std::string>& Types() const { return types_; }
  const std::string& FilePath() const { return path_; }

  // Load: the built-in entries, then every acceptable line of the file in
  // `programFolder` (refused lines show their message). A missing or
  // unreadable file is replaced by an empty one. False when that empty file
  // could not be written.
  bool Form_Load(const std::string& programFolder);
  // Unload at shut-down (MainLoaded 0): writes the file. False when it
  // could not be written; the list is kept either way.
  bool Form_Unload();

  // Shows the editor modal to the whole program, without a nested event
  // loop (the caller returns at once).
  void ShowModal();

  void cmdAdd_Click();
  void cmdRemove_Click();
  void cmdDone_Click();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override;  // Escape behaves like the close box

 private:
  bool IsValidType(const std::string& type);
  void AppendEntry(const std::string& type);
  int RemoveLimit() const;

  TypeListKind kind_;
  CrawlState& state_;
  FileService& fso_;
  UserDialogs& dialogs_;
  QWidget* owner_;
  std::string path_;
  std::vector<std::string> types_;  // mirrors lstExt, entry for entry

  QLabel* Label1_;
  QLineEdit* txtExt_;
  QPushButton* cmdAdd_;
  QListWidget* lstExt_;
  QPushButton* cmdRemove_;
  QPushButton* cmdDone_;
};

// The two editors' lists as link extraction reads them.
class LiveTypeLists : public FileTypeLists {
 public:
  LiveTypeLists(const frmTypeEditor& ignored, const frmTypeEditor& exclusive)
      : ignored_(ignored), exclusive_(exclusive) {}
  const std::vector<std::string>& IgnoredTypes() const override { return ignored_.Types(); }
  const std::vector<std::string>& ExclusiveTypes() const override { return exclusive_.Types(); }

 private:
  const frmTypeEditor& ignored_;
  const frmTypeEditor& exclusive_;
};

}  // namespace kestrelin
