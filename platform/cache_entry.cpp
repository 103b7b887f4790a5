#include "platform/cache_entry.h"

#include <openssl/evp.h>
#include <openssl/sha.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string_view>

namespace kestrelin {
namespace {

constexpr std::string_view kFirstLine = "Kestrelin cache entry 1";
constexpr std::string_view kUrlField = "URL: ";
constexpr std::string_view kETagField = "ETag: ";
constexpr std::string_view kDateField = "Last-Modified: ";
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
  // The digest is looked up once: libcrypto's one-call SHA256() looks it up
  // on every call, which cost more than the hashing itself.
  static EVP_MD* const sha256 = EVP_MD_fetch(nullptr, "SHA256", nullptr);
  // 128 bits of the hash: collisions are out of reach, names stay short.
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  const auto* bytes = reinterpret_cast<const unsigned char*>(url.data());
  if (!sha256 || !EVP_Digest(bytes, url.size(), digest, &length, sha256, nullptr)) {
    ::SHA256(bytes, url.size(), digest);
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string body = folder + "/";
  for (int i = 0; i < 16; ++i) {
    body += kHex[digest[i] >> 4];
    body += kHex[digest[i] & 0x0f];
  }
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
  if (!TakeField(in, kStampField, stamp) || stamp != BodyStamp(bodyPath)) return std::nullopt;
  return validators;
}

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

}  // namespace kestrelin
