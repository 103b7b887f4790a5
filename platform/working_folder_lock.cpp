#include "platform/working_folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "engine/paths.h"

namespace kestrelin {

// flock, not fcntl: its locks belong to the open file, so a second take in
// the same process (a second window) is refused too, and closing another
// descriptor of the file does not drop the lock.
std::unique_ptr<WorkingFolderLock> WorkingFolderLock::TryTake(const std::string& programFolder) {
  const std::string path = JoinPath(programFolder, "cache.lock");
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (fd < 0) return nullptr;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return nullptr;
  }
  return std::unique_ptr<WorkingFolderLock>(new WorkingFolderLock(fd));
}

WorkingFolderLock::~WorkingFolderLock() { ::close(fd_); }

}  // namespace kestrelin
