#include "platform/cache_copy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>

namespace kestrelin {
namespace {

std::atomic<unsigned> temporaryCounter{0};

// A fresh temporary name of this process beside `target`.
std::string TemporaryName(const std::string& target) {
  return target + "." + std::to_string(::getpid()) + "-" + std::to_string(++temporaryCounter) +
         ".part";
}

// A file opened with O_TMPFILE gets its name through /proc/self/fd.
bool NamelessFilesCanBeNamed() {
#ifdef O_TMPFILE
  static const bool can = ::access("/proc/self/fd", X_OK) == 0;
  return can;
#else
  return false;
#endif
}

// Gives the open file `fd` the name `path`; false when the name is taken or
// the system cannot do it.
bool NameDescriptor(int fd, const std::string& path) {
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

// Copies get the permissions the user's files get: they become files of
// the user's site.
int OpenIn(const std::string& folder, const std::string& target, bool nameless,
           std::string& temporary) {
#ifdef O_TMPFILE
  if (nameless && NamelessFilesCanBeNamed()) {
    const int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd >= 0 || errno == ENOENT) return fd;
    // Otherwise the file system has no such files: a named one instead.
  }
#else
  (void)folder;
  (void)nameless;
#endif
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary = TemporaryName(target);
    const int fd =
        ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

}  // namespace

std::unique_ptr<CacheCopy> CacheCopy::Open(const std::string& folder, const std::string& target,
                                           bool nameless) {
  std::string temporary;
  int fd = OpenIn(folder, target, nameless, temporary);
  if (fd < 0 && errno == ENOENT) {  // the cache folder was removed meanwhile
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    fd = OpenIn(folder, target, nameless, temporary);
  }
  if (fd < 0) return nullptr;
  return std::unique_ptr<CacheCopy>(new CacheCopy(fd, folder, target, std::move(temporary)));
}

CacheCopy::CacheCopy(int fd, std::string folder, std::string target, std::string temporary)
    : fd_(fd), folder_(std::move(folder)), target_(std::move(target)),
      temporary_(std::move(temporary)) {}

CacheCopy::~CacheCopy() {
  ::close(fd_);
  if (!temporary_.empty()) std::remove(temporary_.c_str());
}

// curl hands over what one read from the socket gave, so most copies take
// one write each, straight from curl's buffer.
bool CacheCopy::Write(const char* data, std::size_t size) {
  while (size > 0 && !failed_) {
    const ssize_t written = ::write(fd_, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      failed_ = true;
      break;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
    size_ += static_cast<std::size_t>(written);
  }
  return !failed_;
}

bool CacheCopy::Publish() {
  if (failed_) return false;
  if (temporary_.empty()) {
    // A first download takes its own name at once; an older copy is
    // replaced through a temporary name. A file opened before the cache
    // folder was removed still has its bytes: the folder is made again.
    if (NameDescriptor(fd_, target_)) return true;
    if (errno == ENOENT) {
      std::error_code ec;
      std::filesystem::create_directories(folder_, ec);
      if (NameDescriptor(fd_, target_)) return true;
    }
    if (errno != EEXIST) return false;
    for (int attempt = 0; attempt < 100 && temporary_.empty(); ++attempt) {
      std::string name = TemporaryName(target_);
      if (NameDescriptor(fd_, name)) temporary_ = std::move(name);
      else if (errno != EEXIST) return false;
    }
    if (temporary_.empty()) return false;
  }
  if (std::rename(temporary_.c_str(), target_.c_str()) != 0) return false;
  temporary_.clear();
  return true;
}

}  // namespace kestrelin
