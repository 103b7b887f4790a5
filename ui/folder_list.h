#pragma once
// Dir1: the folder list. It shows the open folder's parents from the root
// down, the open folder itself (marked, with an open-folder picture) and its
// sub-folders below it; double click or Enter on an entry opens that folder.
// The open folder is the list's path, the destination of a crawl.
#include <QListWidget>
#include <string>

#include "engine/file_service.h"

namespace kestrelin {

class FolderList : public QListWidget {
  Q_OBJECT
 public:
  explicit FolderList(FileService& fso, QWidget* parent = nullptr);

  // The open folder: an absolute path without a final separator ("/" for
  // the root).
  const std::string& Path() const { return path_; }
  // Opens `path` (made absolute-looking: doubled and final separators
  // removed). False, changing nothing, when the folder cannot be listed.
  bool SetPath(const std::string& path);
  // Lists the open folder's sub-folders again.
  void Refresh();

 signals:
  void PathChanged();

 private:
  void Fill(const std::vector<FolderEntry>& subFolders);
  void OpenEntry(QListWidgetItem* item);

  FileService& fso_;
  std::string path_;
};

// `path` with doubled separators collapsed and no final separator, except
// that the root stays "/".
std::string NormalizeFolderPath(const std::string& path);

}  // namespace kestrelin
