#include "engine/safe_names.h"

#include <cstdint>
#include <vector>

namespace kestrelin {
namespace {

constexpr std::string_view kMarker = "%x%";
// A file name shortened to make room for its folders keeps at most this much.
constexpr std::size_t kMaxTailBytes = 128;
// Only a short final ".xyz" counts as an extension worth keeping.
constexpr std::size_t kMaxExtensionBytes = 16;

std::string HashHex(std::string_view text) {
  std::uint64_t hash = 14695981039346656037ull;  // FNV-1a, 64 bits
  for (const char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  static const char kDigits[] = "0123456789abcdef";
  std::string hex(16, '0');
  for (int i = 15; i >= 0; --i, hash >>= 4) hex[i] = kDigits[hash & 0xf];
  return hex;
}

std::string_view Extension(std::string_view name) {
  const auto dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return {};
  const auto ext = name.substr(dot);
  if (ext.size() > kMaxExtensionBytes || ext.find('%') != std::string_view::npos) return {};
  return ext;
}

std::string EscapeUnsafeBytes(std::string_view name) {
  if (name == "..") return "%2e%2e";
  if (name == ".") return "%2e";
  std::string out;
  out.reserve(name.size());
  for (const char c : name) {
    if (c == '/') out += "%2f";
    else if (c == '\\') out += "%5c";
    else if (c == '\0') out += "%00";
    else out += c;
  }
  return out;
}

// Segments of a path split at "/" and "\", empty ones included.
std::vector<std::string_view> SplitSegments(std::string_view path) {
  std::vector<std::string_view> segments;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '/' || path[i] == '\\') {
      segments.push_back(path.substr(start, i - start));
      start = i + 1;
    }
  }
  return segments;
}

// `name` cut to `limit` bytes with "~", the hash of `hashSource` and the
// extension at its end.
std::string CutWithHash(std::string_view name, std::size_t limit, std::string_view hashSource) {
  const auto ext = Extension(name);
  const std::string suffix = "~" + HashHex(hashSource) + std::string(ext);
  const auto stem = name.substr(0, name.size() - ext.size());
  const std::size_t room = limit > suffix.size() ? limit - suffix.size() : 0;
  return std::string(stem.substr(0, room)) + suffix;
}

}  // namespace

std::string ShortenName(std::string_view name, std::size_t limit, std::string_view hashSource) {
  if (name.size() <= limit) return std::string(name);
  return CutWithHash(name, limit, hashSource);
}

std::string SafeName(std::string_view name) {
  const std::string escaped = EscapeUnsafeBytes(name);
  return ShortenName(escaped, kMaxNameBytes, escaped);
}

std::string EscapeMarkerLookalikes(std::string_view segment) {
  if (segment.find("%x") == std::string_view::npos) return std::string(segment);
  std::string out;
  out.reserve(segment.size() + 8);
  for (std::size_t i = 0; i < segment.size(); ++i) {
    const bool lookalike = segment[i] == '%' && i + 1 < segment.size() && segment[i + 1] == 'x';
    out += lookalike ? "%25" : std::string_view(&segment[i], 1);
  }
  return out;
}

std::string WorkingFileName(std::string_view relativeName) {
  const bool folderLink =
      !relativeName.empty() && (relativeName.back() == '/' || relativeName.back() == '\\');
  std::vector<std::string> parts;
  for (const auto segment : SplitSegments(relativeName)) {
    if (!segment.empty()) parts.push_back(EscapeMarkerLookalikes(EscapeUnsafeBytes(segment)));
  }

  std::string name;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) name += kMarker;
    name += parts[i];
  }
  if (folderLink || name.empty()) name += kMarker;
  if (name.size() <= kMaxNameBytes) return name;

  // Too long for one name: keep the leading folders that fit in front of the
  // file name, which carries a hash of the whole name so that two long paths
  // that differ only in a dropped part stay apart. A folder link keeps its
  // final marker instead of a file name.
  const std::size_t folderCount = folderLink ? parts.size() : parts.size() - 1;
  const std::string tail =
      folderLink ? std::string() : CutWithHash(parts.back(), kMaxTailBytes, name);
  std::string prefix;
  for (std::size_t i = 0; i < folderCount; ++i) {
    if (prefix.size() + parts[i].size() + kMarker.size() + tail.size() > kMaxNameBytes) break;
    prefix += parts[i];
    prefix += kMarker;
  }
  if (prefix.empty() && tail.empty()) return std::string(kMarker);
  return prefix + tail;
}

}  // namespace kestrelin
