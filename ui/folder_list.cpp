#include "ui/folder_list.h"

#include <QApplication>
#include <QFile>
#include <QStyle>
#include <algorithm>

#include "engine/paths.h"

namespace kestrelin {
namespace {

constexpr int kPathRole = Qt::UserRole + 1;

std::vector<std::string> Components(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  for (const char c : path) {
    if (c == kPathSeparator) {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

// A folder name is bytes: shown in the locale's encoding as far as it can
// be read; the entry keeps the bytes, so the folder opens either way.
QString DisplayName(const std::string& name) {
  return QFile::decodeName(QByteArray::fromStdString(name));
}

QString Indented(int depth, const std::string& name) {
  return QString(depth * 3, QLatin1Char(' ')) + DisplayName(name);
}

}  // namespace

std::string NormalizeFolderPath(const std::string& path) {
  std::string normalized = CollapseSeparators(path);
  while (normalized.size() > 1 && EndsWithSeparator(normalized)) normalized.pop_back();
  return normalized.empty() ? std::string(1, kPathSeparator) : normalized;
}

FolderList::FolderList(FileService& fso, QWidget* parent) : QListWidget(parent), fso_(fso) {
  setObjectName("Dir1");
  setUniformItemSizes(true);
  connect(this, &QListWidget::itemActivated, this, &FolderList::OpenEntry);
}

bool FolderList::SetPath(const std::string& path) {
  const std::string normalized = NormalizeFolderPath(path);
  const auto subFolders = fso_.SubFolders(normalized);
  if (!subFolders) return false;
  path_ = normalized;
  Fill(*subFolders);
  emit PathChanged();
  return true;
}

void FolderList::Refresh() {
  if (path_.empty()) return;
  const auto subFolders = fso_.SubFolders(path_);
  Fill(subFolders ? *subFolders : std::vector<FolderEntry>{});
}

void FolderList::Fill(const std::vector<FolderEntry>& subFolders) {
  clear();
  QStyle* style = QApplication::style();
  const QIcon closed = style->standardIcon(QStyle::SP_DirClosedIcon);
  const QIcon open = style->standardIcon(QStyle::SP_DirOpenIcon);

  const std::string root(1, kPathSeparator);
  std::vector<std::pair<std::string, std::string>> chain = {{root, root}};  // name, path
  std::string walked;
  for (const auto& part : Components(path_)) {
    walked += kPathSeparator + part;
    chain.push_back({part, walked});
  }
  int depth = 0;
  QListWidgetItem* current = nullptr;
  for (const auto& [name, full] : chain) {
    auto* item = new QListWidgetItem(open, Indented(depth++, name), this);
    item->setData(kPathRole, QByteArray::fromStdString(full));  // bytes, as named
    current = item;
  }
  QFont bold = font();
  bold.setBold(true);
  current->setFont(bold);

  std::vector<FolderEntry> sorted;
  for (const auto& entry : subFolders)
    if (!entry.Name.empty() && entry.Name[0] != '.') sorted.push_back(entry);
  std::sort(sorted.begin(), sorted.end(), [](const FolderEntry& a, const FolderEntry& b) {
    return DisplayName(a.Name).compare(DisplayName(b.Name), Qt::CaseInsensitive) < 0;
  });
  for (const auto& entry : sorted) {
    auto* item = new QListWidgetItem(closed, Indented(depth, entry.Name), this);
    item->setData(kPathRole, QByteArray::fromStdString(JoinPath(path_, entry.Name)));
  }
  setCurrentItem(current);
  scrollToItem(current);
}

void FolderList::OpenEntry(QListWidgetItem* item) {
  if (!item) return;
  SetPath(item->data(kPathRole).toByteArray().toStdString());
}

}  // namespace kestrelin
