#include "engine/url_decoding.h"
namespace kestrelin {
std::string DecodeUrlText(std::string_view text) { return std::string(text); }
}  // namespace kestrelin
