#pragma once
// One crawl per working folder: an exclusive advisory lock on the file
// "cache.lock" beside the working folder "cache" in the program's folder.
// The window and the headless tool take it before a crawl and hold it until
// the crawl has ended; a second program on the same folder is refused
// instead of mixing its downloads into the first one's. The operating
// system drops the lock when the process ends in any way, so a crash never
// leaves it stuck. Locks of two separate takes conflict also within one
// process. Used on the thread that runs the crawl.
#include <memory>
#include <string>

namespace kestrelin {

class WorkingFolderLock {
 public:
  // Takes the lock of `programFolder` without waiting (the lock file is
  // created when missing). nullptr when another crawl holds it or the lock
  // file cannot be opened.
  static std::unique_ptr<WorkingFolderLock> TryTake(const std::string& programFolder);
  ~WorkingFolderLock();  // releases the lock; the lock file stays

  WorkingFolderLock(const WorkingFolderLock&) = delete;
  WorkingFolderLock& operator=(const WorkingFolderLock&) = delete;

 private:
  explicit WorkingFolderLock(int fd) : fd_(fd) {}
  int fd_;
};

}  // namespace kestrelin
