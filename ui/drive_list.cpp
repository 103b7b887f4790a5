#include "ui/drive_list.h"

#include <QSignalBlocker>
#include <QStorageInfo>
#include <algorithm>
#include <set>

#include "engine/text_lines.h"

namespace kestrelin {
namespace {

bool IsSystemMount(const std::string& root, const std::string& type) {
  static const std::set<std::string> pseudo = {
      "proc", "sysfs", "devpts", "devtmpfs", "tmpfs", "cgroup", "cgroup2", "mqueue",
      "debugfs", "tracefs", "securityfs", "pstore", "bpf", "autofs", "hugetlbfs",
      "configfs", "fusectl", "binfmt_misc", "efivarfs", "nsfs", "ramfs", "squashfs",
      "rpc_pipefs", "selinuxfs", "fuse.portal", "fuse.gvfsd-fuse"};
  if (root == "/") return false;
  if (pseudo.count(type)) return true;
  for (const char* prefix : {"/proc", "/sys", "/dev", "/boot/efi", "/snap", "/etc"})
    if (root == prefix || StartsWith(root, std::string(prefix) + "/")) return true;
  return root == "/run" || (StartsWith(root, "/run/") && !StartsWith(root, "/run/media/"));
}

bool Contains(const std::string& root, const std::string& path) {
  if (root == "/") return StartsWith(path, "/");
  return path == root || StartsWith(path, root + "/");
}

}  // namespace

std::vector<Volume> MountedVolumes() {
  std::vector<Volume> volumes;
  std::set<std::string> seen;
  for (const QStorageInfo& info : QStorageInfo::mountedVolumes()) {
    const std::string root = info.rootPath().toStdString();
    const std::string type = info.fileSystemType().toStdString();
    if (!info.isValid() || IsSystemMount(root, type) || !seen.insert(root).second) continue;
    std::string label = root;
    const std::string name = info.displayName().toStdString();
    if (!name.empty() && name != root) label += "  [" + name + "]";
    volumes.push_back({root, label});
  }
  std::stable_sort(volumes.begin(), volumes.end(),
                   [](const Volume& a, const Volume& b) { return a.Root == "/" && b.Root != "/"; });
  if (volumes.empty()) volumes.push_back({"/", "/"});
  return volumes;
}

DriveList::DriveList(QWidget* parent) : QComboBox(parent) { setObjectName("Drive1"); }

void DriveList::SetVolumes(std::vector<Volume> volumes) {
  const QSignalBlocker quiet(this);
  volumes_ = std::move(volumes);
  clear();
  for (const auto& volume : volumes_) addItem(QString::fromStdString(volume.Label));
  setCurrentIndex(-1);
}

std::string DriveList::RootAt(int index) const {
  if (index < 0 || index >= static_cast<int>(volumes_.size())) return {};
  return volumes_[static_cast<std::size_t>(index)].Root;
}

int DriveList::IndexOfPath(const std::string& path) const {
  int best = -1;
  std::size_t bestLength = 0;
  for (std::size_t i = 0; i < volumes_.size(); ++i) {
    const std::string& root = volumes_[i].Root;
    if (Contains(root, path) && (best < 0 || root.size() > bestLength)) {
      best = static_cast<int>(i);
      bestLength = root.size();
    }
  }
  return best;
}

}  // namespace kestrelin
