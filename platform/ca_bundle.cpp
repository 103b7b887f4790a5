#include "platform/ca_bundle.h"

#include <curl/curl.h>

#include <fstream>
#include <iterator>
#include <optional>

namespace kestrelin {
namespace {

std::optional<std::string> ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string DefaultSystemBundle() {
  const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
  if (info && info->age >= CURLVERSION_SEVENTH && info->cainfo) return info->cainfo;
  return "/etc/ssl/certs/ca-certificates.crt";
}

}  // namespace

std::string CombinedCaBundle(const std::string& extraCaFile, std::string systemBundle) {
  if (extraCaFile.empty()) return {};
  const std::optional<std::string> extra = ReadText(extraCaFile);
  if (!extra || extra->empty()) return {};
  if (systemBundle.empty()) systemBundle = DefaultSystemBundle();
  std::string combined = ReadText(systemBundle).value_or(std::string());
  if (!combined.empty() && combined.back() != '\n') combined += '\n';
  combined += *extra;
  return combined;
}

}  // namespace kestrelin
