#include "platform/cache_index.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string_view>
#include <utility>

namespace kestrelin {
namespace {

constexpr std::string_view kFirstLine = "Kestrelin cache index 1\n";
// An index with at least this many lines, most of them outdated, is
// rewritten when it is read.
constexpr std::size_t kLinesWorthRewriting = 1024;
// Records held back are written once they reach this size (about a
// hundred records).
constexpr std::size_t kHeldBackBytes = 16 * 1024;
// No record is longer: a URL and two header values of at most 8 KB each.
constexpr std::size_t kMaxLineBytes = 32 * 1024;

bool Recordable(std::string_view text) { return text.find_first_of("\t\r\n") == std::string_view::npos; }

bool IsStamp(std::string_view text) {
  return !text.empty() && text.find_first_not_of("0123456789 .") == std::string_view::npos;
}

// Cuts the next tab-separated field off the front of `line`.
std::string_view TakeField(std::string_view& line) {
  const std::size_t tab = line.find('\t');
  const std::string_view field = line.substr(0, tab);
  line = tab == std::string_view::npos ? std::string_view() : line.substr(tab + 1);
  return field;
}

std::string RecordLine(std::string_view stamp, std::string_view url, const Validators& v) {
  std::string line;
  line.reserve(stamp.size() + url.size() + v.ETag.size() + v.LastModified.size() + 4);
  line.append(stamp).append("\t").append(url).append("\t");
  line.append(v.ETag).append("\t").append(v.LastModified).append("\n");
  return line;
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// Opens `path` for reading or appending unless it is something other than a
// regular file: -1 then, with `special` set for anything but a folder (a
// FIFO would block, a device would never end). Opening never blocks.
int OpenRegular(const std::string& path, int flags, bool& special) {
  special = false;
  const int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0666);
  if (fd < 0) return -1;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    special = !S_ISDIR(info.st_mode);
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

CacheIndex::CacheIndex(std::string folder) : path_(std::move(folder) + "/" + kFileName) {}

CacheIndex::~CacheIndex() {
  Flush();
  if (fd_ >= 0) ::close(fd_);
}

bool CacheIndex::Holds(const std::string& url) {
  Load();
  return entries_.count(url) != 0;
}

std::optional<Validators> CacheIndex::Find(const std::string& url, const std::string& bodyPath) {
  Load();
  const auto found = entries_.find(url);
  if (found == entries_.end() || found->second.Stamp != BodyStamp(bodyPath)) return std::nullopt;
  return found->second.Version;
}

bool CacheIndex::Record(int fd, const std::string& url, const Validators& validators) {
  if (!Recordable(url) || !Recordable(validators.ETag) || !Recordable(validators.LastModified)) {
    return false;
  }
  const std::string stamp = DescriptorStamp(fd);
  if (stamp.empty()) return false;
  Load();
  heldBack_ += RecordLine(stamp, url, validators);
  if ((fd_ < 0 || heldBack_.size() >= kHeldBackBytes) && !Flush()) return false;
  // The file holds it now; the next Reload reads it back.
  entries_.erase(url);
  return true;
}

void CacheIndex::Reload() {
  Flush();
  entries_ = {};
  loaded_ = false;
}

// Keeps the record of one line; lines that do not parse are skipped.
void CacheIndex::TakeLine(std::string_view line) {
  const std::string_view stamp = TakeField(line);
  const std::string_view url = TakeField(line);
  const std::string_view etag = TakeField(line);
  if (!IsStamp(stamp) || url.empty() || line.find('\t') != std::string_view::npos) return;
  Validators version{std::string(etag), std::string(line)};
  entries_.insert_or_assign(std::string(url), Entry{std::string(stamp), std::move(version)});
}

// Read in blocks of a fixed size: memory grows with the records that
// count, never with the file. A line longer than any record can be (a
// damaged file) is skipped whole.
void CacheIndex::Load() {
  if (loaded_) return;
  loaded_ = true;
  bool special = false;
  const int fd = OpenRegular(path_, O_RDONLY, special);
  if (fd < 0) {
    if (special) SetAside();
    return;
  }
  std::string line;
  bool overlong = false, first = true, usable = true;
  std::size_t lines = 0;
  char buffer[1 << 16];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    std::string_view block(buffer, static_cast<std::size_t>(got));
    while (!block.empty()) {
      const std::size_t end = block.find('\n');
      const std::string_view piece = block.substr(0, end);
      if (!overlong) line.append(piece);
      if (line.size() > kMaxLineBytes) {
        overlong = true;
        line.clear();
      }
      if (end == std::string_view::npos) break;
      block.remove_prefix(end + 1);
      if (first) {
        usable = line + "\n" == kFirstLine;
        first = false;
        if (!usable) break;
      } else if (!overlong) {
        TakeLine(line);
      }
      ++lines;
      line.clear();
      overlong = false;
    }
    if (!usable) break;
  }
  ::close(fd);
  if (!usable || (first && !line.empty())) {
    entries_ = {};
    SetAside();
    return;
  }
  endsMidLine_ = !line.empty() || overlong;  // torn by a crash: skipped
  RewriteWhenMostlyOutdated(lines);
}

// An index that is not one (another file under its name, a special file)
// is moved aside, kept for a look, and a new one is started.
void CacheIndex::SetAside() {
  const std::string aside = path_ + ".unusable";
  std::remove(aside.c_str());
  if (std::rename(path_.c_str(), aside.c_str()) != 0) std::remove(path_.c_str());
}

// Another process may append while the file is rewritten; its records
// can then be lost, which costs a later crawl a full download, never a
// wrong answer.
void CacheIndex::RewriteWhenMostlyOutdated(std::size_t lines) {
  if (lines < kLinesWorthRewriting || lines < 2 * entries_.size()) return;
  const std::string temporary = path_ + ".tmp" + std::to_string(::getpid());
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
  if (fd < 0) return;
  bool ok = WriteAll(fd, kFirstLine);
  for (const auto& [url, entry] : entries_) {
    ok = ok && WriteAll(fd, RecordLine(entry.Stamp, url, entry.Version));
  }
  ok = ::close(fd) == 0 && ok;
  if (ok && std::rename(temporary.c_str(), path_.c_str()) == 0) {
    endsMidLine_ = false;
  } else {
    std::remove(temporary.c_str());
  }
}

bool CacheIndex::Flush() {
  if (heldBack_.empty()) return true;
  const bool written = Append(heldBack_);
  heldBack_.clear();
  return written;
}

bool CacheIndex::Append(std::string_view bytes) {
  // An index removed since it was opened (with the cache folder, or
  // replaced by another process's rewrite) is opened anew: records written
  // to it would be lost.
  struct stat info {};
  if (fd_ >= 0 && (::fstat(fd_, &info) != 0 || info.st_nlink == 0)) {
    ::close(fd_);
    fd_ = -1;
    endsMidLine_ = false;
  }
  if (fd_ < 0) {
    bool special = false;
    fd_ = OpenRegular(path_, O_WRONLY | O_APPEND | O_CREAT, special);
    if (fd_ < 0) return false;
    const off_t size = ::lseek(fd_, 0, SEEK_END);
    if (size == 0 && !WriteAll(fd_, kFirstLine)) return false;
  }
  // A torn last line is closed first, so it cannot swallow this record,
  // with more fields than a record has, so it never reads as one.
  if (endsMidLine_) {
    if (!WriteAll(fd_, "\t\t\t\n")) return false;
    endsMidLine_ = false;
  }
  return WriteAll(fd_, bytes);
}

}  // namespace kestrelin
