#include "platform/request_url.h"

#include "engine/url_decoding.h"

namespace kestrelin {

std::string RequestUrl(std::string_view url) {
  std::string out;
  out.reserve(url.size());
  for (const char c : url) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte >= 0x7f) {
      AppendPercentEscape(out, byte);
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace kestrelin
