#include "platform/cache_entry.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>
#include <sys/stat.h>
#ifdef __linux__
#include <sys/xattr.h>
#endif
#include <unistd.h>

#include "platform/sha256.h"

namespace kestrelin {
namespace {

constexpr std::string_view kFirstLine = "Kestrelin cache entry 1";
constexpr std::string_view kUrlField = "URL: ";
constexpr std::string_view kETagField = "ETag: ";
constexpr std::string_view kDateField = "Last-Modified: ";
// Entries written before copies could share their bytes have no stamp.
constexpr std::string_view kStampField = "Body: ";

bool HasLineBreak(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

bool TakeField(std::istream& in, std::string_view field, std::string& value) {
  std::string line;
  if (!std::getline(in, line) || !line.starts_with(field)) return false;
  value = line.substr(field.size());
  return true;
}

}  // namespace

CacheEntry EntryFor(const std::string& folder, const std::string& url) {
  // 128 bits of the hash: collisions are out of reach, names stay short.
  const std::string body = folder + "/" + Sha256Hex(url).substr(0, 32);
  return {body, body + ".meta"};
}

namespace {

std::string StampOf(const struct stat& info) {
  return std::to_string(info.st_size) + " " + std::to_string(info.st_mtim.tv_sec) + "." +
         std::to_string(info.st_mtim.tv_nsec);
}

bool Recordable(const std::string& url, const Validators& validators) {
  return !HasLineBreak(url) && !HasLineBreak(validators.ETag) &&
         !HasLineBreak(validators.LastModified);
}

// The text of an entry, the same in a sidecar file and in an attribute.
std::string EntryText(const std::string& url, const Validators& validators,
                      const std::string& stamp) {
  std::string text;
  text.append(kFirstLine).append("\n");
  text.append(kUrlField).append(url).append("\n");
  text.append(kETagField).append(validators.ETag).append("\n");
  text.append(kDateField).append(validators.LastModified).append("\n");
  text.append(kStampField).append(stamp).append("\n");
  return text;
}

std::optional<Validators> ParseEntry(std::istream& in, const std::string& url,
                                     const std::string& bodyPath) {
  std::string first, recordedUrl, stamp;
  Validators validators;
  if (!std::getline(in, first) || first != kFirstLine) return std::nullopt;
  if (!TakeField(in, kUrlField, recordedUrl) || recordedUrl != url) return std::nullopt;
  if (!TakeField(in, kETagField, validators.ETag)) return std::nullopt;
  if (!TakeField(in, kDateField, validators.LastModified)) return std::nullopt;
  validators.Stamped = TakeField(in, kStampField, stamp);
  if (validators.Stamped && stamp != BodyStamp(bodyPath)) return std::nullopt;
  return validators;
}

#ifdef __linux__
constexpr const char* kAttributeName = "user.kestrelin.entry";
#endif

}  // namespace

std::string BodyStamp(const std::string& bodyPath) {
  struct stat info {};
  if (::stat(bodyPath.c_str(), &info) != 0) return {};
  return StampOf(info);
}

std::string DescriptorStamp(int fd) {
  struct stat info {};
  if (::fstat(fd, &info) != 0) return {};
  return StampOf(info);
}

std::optional<Validators> ReadSidecar(const std::string& sidecarPath, const std::string& url,
                                      const std::string& bodyPath) {
  std::ifstream in(sidecarPath, std::ios::binary);
  return ParseEntry(in, url, bodyPath);
}

bool WriteSidecar(const std::string& sidecarPath, const std::string& url,
                  const Validators& validators, const std::string& bodyPath) {
  if (!Recordable(url, validators)) return false;
  const std::string temporary = sidecarPath + ".tmp" + std::to_string(::getpid());
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << EntryText(url, validators, BodyStamp(bodyPath));
    out.close();
    if (!out) {
      std::remove(temporary.c_str());
      return false;
    }
  }
  std::error_code ec;
  std::filesystem::rename(temporary, sidecarPath, ec);
  if (ec) std::remove(temporary.c_str());
  return !ec;
}

bool AttachValidators(int fd, const std::string& url, const Validators& validators) {
#ifdef __linux__
  const std::string stamp = DescriptorStamp(fd);
  if (!Recordable(url, validators) || stamp.empty()) return false;
  const std::string text = EntryText(url, validators, stamp);
  return ::fsetxattr(fd, kAttributeName, text.data(), text.size(), 0) == 0;
#else
  (void)fd;
  (void)url;
  (void)validators;
  return false;
#endif
}

std::optional<Validators> AttachedValidators(const std::string& bodyPath, const std::string& url) {
#ifdef __linux__
  std::string text(4096, '\0');
  ssize_t size = ::getxattr(bodyPath.c_str(), kAttributeName, text.data(), text.size());
  if (size < 0 && errno == ERANGE) {  // a long URL on a file system that holds it
    size = ::getxattr(bodyPath.c_str(), kAttributeName, nullptr, 0);
    if (size <= 0) return std::nullopt;
    text.resize(static_cast<std::size_t>(size));
    size = ::getxattr(bodyPath.c_str(), kAttributeName, text.data(), text.size());
  }
  if (size <= 0) return std::nullopt;
  text.resize(static_cast<std::size_t>(size));
  std::istringstream in(text);
  return ParseEntry(in, url, bodyPath);
#else
  (void)bodyPath;
  (void)url;
  return std::nullopt;
#endif
}

bool HasAttachedRecord(const std::string& bodyPath) {
#ifdef __linux__
  return ::getxattr(bodyPath.c_str(), kAttributeName, nullptr, 0) >= 0;
#else
  (void)bodyPath;
  return false;
#endif
}

}  // namespace kestrelin
