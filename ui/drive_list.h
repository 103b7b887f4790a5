#pragma once
// Drive1: the list of the machine's drives, which on this system are its
// mounted volumes (the root file system, removable media, network shares),
// without the system's internal mounts (/proc, /sys, /dev, /run).
#include <QComboBox>
#include <string>
#include <vector>

namespace kestrelin {

struct Volume {
  std::string Root;   // mount point, e.g. "/" or "/media/usb"
  std::string Label;  // what the list shows
};

// The mounted volumes worth offering as destinations, "/" first.
std::vector<Volume> MountedVolumes();

class DriveList : public QComboBox {
  Q_OBJECT
 public:
  explicit DriveList(QWidget* parent = nullptr);

  // Replaces the entries; the selection goes to none and no change is
  // signalled.
  void SetVolumes(std::vector<Volume> volumes);
  const std::vector<Volume>& Volumes() const { return volumes_; }
  // The root of the entry at `index`; empty when out of range.
  std::string RootAt(int index) const;
  // The entry whose root is the longest one containing `path`; -1 if none.
  int IndexOfPath(const std::string& path) const;

 private:
  std::vector<Volume> volumes_;
};

}  // namespace kestrelin
