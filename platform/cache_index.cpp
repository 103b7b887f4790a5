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

std::optional<std::string> ReadWhole(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::string bytes;
  char buffer[1 << 16];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    bytes.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(fd);
  return bytes;
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
  Validators version = validators;
  version.Stamped = true;
  entries_[url] = {stamp, std::move(version)};
  return true;
}

void CacheIndex::Load() {
  if (loaded_) return;
  loaded_ = true;
  const std::optional<std::string> bytes = ReadWhole(path_);
  if (!bytes) return;
  std::string_view rest(*bytes);
  std::size_t lines = 0;
  while (!rest.empty()) {
    const std::size_t end = rest.find('\n');
    if (end == std::string_view::npos) {  // torn by a crash: skipped
      endsMidLine_ = true;
      break;
    }
    std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end + 1);
    ++lines;
    const std::string_view stamp = TakeField(line);
    const std::string_view url = TakeField(line);
    const std::string_view etag = TakeField(line);
    if (!IsStamp(stamp) || url.empty() || line.find('\t') != std::string_view::npos) continue;
    Validators version{std::string(etag), std::string(line), true};
    entries_.insert_or_assign(std::string(url), Entry{std::string(stamp), std::move(version)});
  }
  RewriteWhenMostlyOutdated(lines);
}

// Another process may append while the file is rewritten; its records
// can then be lost, which costs a later crawl a full download, never a
// wrong answer.
void CacheIndex::RewriteWhenMostlyOutdated(std::size_t lines) {
  if (lines < kLinesWorthRewriting || lines < 2 * entries_.size()) return;
  const std::string temporary = path_ + ".tmp" + std::to_string(::getpid());
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
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
    fd_ = ::open(path_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
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
