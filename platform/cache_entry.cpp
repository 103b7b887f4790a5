#include "platform/cache_entry.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <sys/stat.h>
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

std::string BodyStamp(const std::string& bodyPath) {
  struct stat info {};
  if (::stat(bodyPath.c_str(), &info) != 0) return {};
  return std::to_string(info.st_size) + " " + std::to_string(info.st_mtim.tv_sec) + "." +
         std::to_string(info.st_mtim.tv_nsec);
}

std::optional<Validators> ReadSidecar(const std::string& sidecarPath, const std::string& url,
                                      const std::string& bodyPath) {
  std::ifstream in(sidecarPath, std::ios::binary);
  std::string first, recordedUrl, stamp;
  Validators validators;
  if (!std::getline(in, first) || first != kFirstLine) return std::nullopt;
  if (!TakeField(in, kUrlField, recordedUrl) || recordedUrl != url) return std::nullopt;
  if (!TakeField(in, kETagField, validators.ETag)) return std::nullopt;
  if (!TakeField(in, kDateField, validators.LastModified)) return std::nullopt;
  if (TakeField(in, kStampField, stamp) && stamp != BodyStamp(bodyPath)) return std::nullopt;
  return validators;
}

bool WriteSidecar(const std::string& sidecarPath, const std::string& url,
                  const Validators& validators, const std::string& bodyPath) {
  if (HasLineBreak(url) || HasLineBreak(validators.ETag) || HasLineBreak(validators.LastModified)) {
    return false;
  }
  const std::string temporary = sidecarPath + ".tmp" + std::to_string(::getpid());
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << kFirstLine << '\n'
        << kUrlField << url << '\n'
        << kETagField << validators.ETag << '\n'
        << kDateField << validators.LastModified << '\n'
        << kStampField << BodyStamp(bodyPath) << '\n';
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
