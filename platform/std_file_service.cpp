#include "platform/std_file_service.h"

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <signal.h>
#include <stdio.h>
#include <unistd.h>

#include "engine/paths.h"

namespace kestrelin {
namespace fs = std::filesystem;

namespace {

// A destination that ends with the separator is a folder receiving the
// item under its own name.
fs::path ResolveDestination(const std::string& source, const std::string& destination) {
  if (EndsWithSeparator(destination)) {
    return fs::path(destination) / fs::path(source).filename();
  }
  return fs::path(destination);
}

constexpr std::string_view kPartialStem = ".kestrelin-";
constexpr std::string_view kPartialEnd = ".part";

// A free name beside `target` for writing before the final rename, so a
// file under its final name is always complete. The name is short whatever
// the target's length (a target name may use all 255 bytes a name can have)
// and is never one of the folder's own files.
fs::path PartialName(const fs::path& target) {
  static std::atomic<unsigned> counter{0};
  const std::string stem = std::string(kPartialStem) + std::to_string(::getpid()) + "-";
  fs::path partial;
  for (int attempt = 0; attempt < 1000; ++attempt) {
    partial = target.parent_path() / (stem + std::to_string(++counter) + std::string(kPartialEnd));
    std::error_code ec;
    if (fs::symlink_status(partial, ec).type() == fs::file_type::not_found) break;
  }
  return partial;
}

bool AllDigits(std::string_view text) {
  return !text.empty() && text.size() < 10 &&
         text.find_first_not_of("0123456789") == std::string_view::npos;
}

// A copy that a killed process left half-written under a name PartialName
// made: its writer process is gone, so it never becomes a file.
bool IsAbandonedPartial(std::string_view name) {
  if (!name.starts_with(kPartialStem) || !name.ends_with(kPartialEnd)) return false;
  name.remove_prefix(kPartialStem.size());
  name.remove_suffix(kPartialEnd.size());
  const std::size_t dash = name.find('-');
  if (dash == std::string_view::npos || !AllDigits(name.substr(0, dash)) ||
      !AllDigits(name.substr(dash + 1))) {
    return false;
  }
  const pid_t writer = static_cast<pid_t>(std::stol(std::string(name.substr(0, dash))));
  return writer > 0 && ::kill(writer, 0) != 0 && errno == ESRCH;
}

bool RemoveReadOnly(const fs::path& path) {
  std::error_code ec;
  fs::permissions(path, fs::perms::owner_write, fs::perm_options::add, ec);
  return !ec;
}

bool IsRegularFileItself(const char* path) {
  struct stat info {};
  return ::lstat(path, &info) == 0 && S_ISREG(info.st_mode);
}

// One system call for the common case of a free target name: a hard link
// or a rename that never replaces anything. False (and no change) when the
// name is taken or the call is not possible; the caller then takes the
// general way.
bool LinkToFreeName(const char* source, const char* target) {
  return ::link(source, target) == 0;
}

bool RenameToFreeName(const char* source, const char* target) {
#ifdef RENAME_NOREPLACE
  return ::renameat2(AT_FDCWD, source, AT_FDCWD, target, RENAME_NOREPLACE) == 0;
#else
  (void)source;
  (void)target;
  return false;
#endif
}

// rename(2) that also ends `from` when both names already lead to one file
// (two hard links), where the system leaves both in place; one name given
// twice stays as it is.
void RenameOver(const fs::path& from, const fs::path& to, std::error_code& ec) {
  fs::rename(from, to, ec);
  if (ec) return;
  struct stat info {};
  if (::lstat(from.c_str(), &info) != 0) return;  // gone, as a rename leaves it
  // One name only: both paths spell one entry (in another letter case, say).
  if (info.st_nlink < 2) return;
  std::error_code probe;
  if (fs::weakly_canonical(from, probe) == fs::weakly_canonical(to, probe)) return;
  fs::remove(from, ec);
}

// True for a regular file (not a link to one) with no other name: its
// bytes may get a second name instead of being copied.
bool HasOneName(const char* path) {
  struct stat info {};
  return ::lstat(path, &info) == 0 && S_ISREG(info.st_mode) && info.st_nlink == 1;
}

// Replaces `target` with `partial` in one rename, or removes `partial`.
bool CommitPartial(const fs::path& partial, const fs::path& target) {
  std::error_code ec;
  RenameOver(partial, target, ec);
  if (ec) {
    RemoveReadOnly(target);
    fs::remove(target, ec);
    RenameOver(partial, target, ec);
  }
  if (ec) {
    std::error_code ignored;
    fs::remove(partial, ignored);
    return false;
  }
  return true;
}

// Copies `source` over `target` through a temporary name, so the target
// is always whole. With `mayLink`, a file that has no other name gets a
// second name instead (a hard link), so nothing is written twice; a file
// that already has a second name is copied byte for byte. So the internet
// cache's copy shares its bytes with at most one copied site's file, and
// two copied sites never share theirs. Across file systems the bytes are
// copied.
bool CopyRegularFile(const fs::path& source, const fs::path& target, bool mayLink) {
  std::error_code ec;
  const bool shareBytes = mayLink && HasOneName(source.c_str());
  if (!fs::is_regular_file(source, ec)) return false;
  if (fs::is_directory(target, ec)) return false;
  const fs::path partial = PartialName(target);
  if (shareBytes) {
    fs::create_hard_link(source, partial, ec);
    if (!ec) return CommitPartial(partial, target);
  }
  fs::copy_file(source, partial, fs::copy_options::overwrite_existing, ec);
  if (ec) {
    std::error_code ignored;
    fs::remove(partial, ignored);
    return false;
  }
  return CommitPartial(partial, target);
}

bool MoveRegularFile(const fs::path& source, const fs::path& target) {
  std::error_code ec;
  if (!fs::is_regular_file(source, ec)) return false;
  if (fs::is_directory(target, ec)) return false;
  RenameOver(source, target, ec);
  if (!ec) return true;
  // Across file systems (or over a read-only target) a rename cannot do it.
  if (!CopyRegularFile(source, target, false)) return false;
  RemoveReadOnly(source);
  fs::remove(source, ec);
  return !ec;
}

// Copies everything below `source` into `target`, merging folders and
// replacing files. Carries on past a failed item and reports it at the end.
bool MergeCopy(const fs::path& source, const fs::path& target) {
  std::error_code ec;
  fs::create_directory(target, ec);
  if (!fs::is_directory(target, ec)) return false;
  bool ok = true;
  for (fs::directory_iterator it(source, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::path child = target / it->path().filename();
    std::error_code typeError;
    if (it->is_directory(typeError) && !it->is_symlink(typeError)) {
      ok = MergeCopy(it->path(), child) && ok;
    } else {
      ok = CopyRegularFile(it->path(), child, false) && ok;
    }
  }
  return ok && !ec;
}

// Moves `source` to `target`: one rename when the target is free, else a
// merge item by item (renames where possible), then removes the source.
bool MergeMove(const fs::path& source, const fs::path& target) {
  std::error_code ec;
  if (!fs::exists(fs::symlink_status(target, ec))) {
    fs::rename(source, target, ec);
    if (!ec) return true;
    if (!MergeCopy(source, target)) return false;
    return fs::remove_all(source, ec) != static_cast<std::uintmax_t>(-1) && !ec;
  }
  if (!fs::is_directory(target, ec)) return false;
  bool ok = true;
  std::vector<fs::directory_entry> children;
  for (fs::directory_iterator it(source, ec), end; !ec && it != end; it.increment(ec)) {
    children.push_back(*it);
  }
  if (ec) return false;
  for (const fs::directory_entry& entry : children) {
    const fs::path child = target / entry.path().filename();
    std::error_code typeError;
    if (entry.is_directory(typeError) && !entry.is_symlink(typeError)) {
      ok = MergeMove(entry.path(), child) && ok;
    } else {
      ok = MoveRegularFile(entry.path(), child) && ok;
    }
  }
  if (!ok) return false;
  fs::remove(source, ec);
  return !ec;
}

std::optional<std::vector<FolderEntry>> ListFolder(const std::string& folder, bool wantFolders) {
  std::error_code ec;
  fs::directory_iterator it(fs::path(folder), ec);
  if (ec) return std::nullopt;
  std::vector<FolderEntry> entries;
  std::vector<fs::path> abandoned;
  for (fs::directory_iterator end; it != end; it.increment(ec)) {
    if (ec) return std::nullopt;
    std::error_code typeError;
    const bool isFolder = it->is_directory(typeError) && !it->is_symlink(typeError);
    const bool isFile = it->is_regular_file(typeError);
    if (isFile && IsAbandonedPartial(it->path().filename().string())) {
      abandoned.push_back(it->path());  // never listed, so it cannot travel on as a file
    } else if (wantFolders ? isFolder : isFile) {
      entries.push_back({it->path().filename().string(), it->path().string()});
    }
  }
  if (ec) return std::nullopt;
  // Removed as garbage once the listing is done, not while the folder is read.
  for (const fs::path& path : abandoned) fs::remove(path, ec);
  return entries;
}

bool WriteBytes(const fs::path& path, const std::string& bytes, std::ios::openmode mode) {
  std::ofstream out(path, std::ios::binary | mode);
  if (!out) return false;
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return !out.fail();
}

}  // namespace

bool StdFileService::FolderExists(const std::string& path) {
  std::error_code ec;
  return fs::is_directory(fs::path(path), ec);
}

bool StdFileService::CreateFolder(const std::string& path) {
  std::error_code ec;
  return fs::create_directory(fs::path(path), ec);
}

std::optional<std::uint64_t> StdFileService::FileSize(const std::string& path) {
  std::error_code ec;
  const auto size = fs::file_size(fs::path(path), ec);
  if (ec) return std::nullopt;
  return size;
}

bool StdFileService::CopyFile(const std::string& source, const std::string& destination) {
  return CopyRegularFile(fs::path(source), ResolveDestination(source, destination), false);
}

// A crawl links and moves every file it copies: the common case (a free
// name) is tried on the strings as given, before any path is built.
bool StdFileService::LinkOrCopyFile(const std::string& source, const std::string& destination) {
  if (!EndsWithSeparator(destination) && HasOneName(source.c_str()) &&
      LinkToFreeName(source.c_str(), destination.c_str())) {
    return true;
  }
  return CopyRegularFile(fs::path(source), ResolveDestination(source, destination), true);
}

bool StdFileService::MoveFile(const std::string& source, const std::string& destination) {
  if (!EndsWithSeparator(destination) && IsRegularFileItself(source.c_str()) &&
      RenameToFreeName(source.c_str(), destination.c_str())) {
    return true;
  }
  return MoveRegularFile(fs::path(source), ResolveDestination(source, destination));
}

bool StdFileService::DeleteFile(const std::string& path) {
  std::error_code ec;
  const fs::path file(path);
  if (!fs::is_regular_file(fs::symlink_status(file, ec)) && !fs::is_symlink(file, ec)) return false;
  RemoveReadOnly(file);
  return fs::remove(file, ec) && !ec;
}

std::optional<std::vector<FolderEntry>> StdFileService::Files(const std::string& folder) {
  return ListFolder(folder, false);
}

std::optional<std::vector<FolderEntry>> StdFileService::SubFolders(const std::string& folder) {
  return ListFolder(folder, true);
}

bool StdFileService::CopyFolder(const std::string& source, const std::string& destinationFolder) {
  std::error_code ec;
  const fs::path from(source);
  if (!fs::is_directory(from, ec)) return false;
  return MergeCopy(from, ResolveDestination(source, destinationFolder));
}

bool StdFileService::MoveFolder(const std::string& source, const std::string& destinationFolder) {
  std::error_code ec;
  const fs::path from(source);
  if (!fs::is_directory(from, ec)) return false;
  return MergeMove(from, ResolveDestination(source, destinationFolder));
}

bool StdFileService::DeleteFolder(const std::string& path) {
  std::error_code ec;
  const fs::path folder(path);
  if (!fs::is_directory(fs::symlink_status(folder, ec))) return false;
  // Read-only entries must not stop a forced delete.
  for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    RemoveReadOnly(it->path());
  }
  ec.clear();
  fs::remove_all(folder, ec);
  return !ec;
}

// Closes a descriptor when it goes out of scope.
class OpenFile {
 public:
  explicit OpenFile(int fd) : fd_(fd) {}
  ~OpenFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;
  int Fd() const { return fd_; }

 private:
  int fd_;
};

// One open, one fstat and reads into a string sized from the start; the
// file may still grow or shrink meanwhile, so reading goes on to the end.
std::optional<std::string> StdFileService::ReadFile(const std::string& path) {
  const OpenFile file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (file.Fd() < 0) return std::nullopt;
  struct stat info {};
  if (::fstat(file.Fd(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  std::string bytes;
  std::size_t used = 0;
  bytes.resize(static_cast<std::size_t>(info.st_size) + 1);
  for (;;) {
    if (used == bytes.size()) bytes.resize(bytes.size() * 2);
    const ssize_t got = ::read(file.Fd(), bytes.data() + used, bytes.size() - used);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return std::nullopt;
    if (got == 0) break;
    used += static_cast<std::size_t>(got);
  }
  bytes.resize(used);
  return bytes;
}

bool StdFileService::WriteFile(const std::string& path, const std::string& bytes) {
  // Written beside the file and renamed over it, so a crash mid-write
  // leaves the old content rather than a truncated file.
  const fs::path target(path);
  std::error_code ec;
  if (fs::is_directory(target, ec)) return false;
  const fs::path partial = PartialName(target);
  if (!WriteBytes(partial, bytes, std::ios::trunc)) {
    std::error_code ignored;
    fs::remove(partial, ignored);
    return false;
  }
  return CommitPartial(partial, target);
}

bool StdFileService::AppendFile(const std::string& path, const std::string& bytes) {
  std::error_code ec;
  if (fs::is_directory(fs::path(path), ec)) return false;
  return WriteBytes(fs::path(path), bytes, std::ios::app);
}

}  // namespace kestrelin
