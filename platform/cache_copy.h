#pragma once
// One copy being written into the internet cache's folder. It is a file
// without a name (O_TMPFILE) where the system has them, which a killed
// process never leaves behind, else a file under a temporary name of this
// process ("<copy>.<pid>-<n>.part"). Only a complete copy gets its own
// name, in one step that replaces an older copy, so no partial copy is ever
// found under a copy's name.
//
// Used by the cache's worker thread only: it opens, writes, names and
// closes every copy.
#include <cstddef>
#include <memory>
#include <string>

namespace kestrelin {

class CacheCopy {
 public:
  // Opens a copy to become `target` (a path inside `folder`); nameless when
  // `nameless` is asked for and the system can name such a file later.
  // Null when no file can be made (a missing folder is made first).
  static std::unique_ptr<CacheCopy> Open(const std::string& folder, const std::string& target,
                                         bool nameless);
  // Closes the file; a copy that was not published leaves nothing behind.
  ~CacheCopy();
  CacheCopy(const CacheCopy&) = delete;
  CacheCopy& operator=(const CacheCopy&) = delete;

  // Appends bytes; false once any write failed.
  bool Write(const char* data, std::size_t size);
  std::size_t Size() const { return size_; }
  // The open file, for its stamp.
  int Descriptor() const { return fd_; }

  // Gives the complete copy its own name, replacing a file of that name.
  // False when a write failed or the name cannot be given; nothing is
  // left behind then.
  bool Publish();

 private:
  CacheCopy(int fd, std::string folder, std::string target, std::string temporary);

  int fd_;
  std::string folder_;
  std::string target_;
  std::string temporary_;  // empty for a nameless copy until Publish names it
  std::size_t size_ = 0;
  bool failed_ = false;
};

}  // namespace kestrelin
