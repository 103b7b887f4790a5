#include "engine/link_extraction.h"
namespace kestrelin {
bool IsPageExtension(std::string_view) { return false; }
bool HasDot(std::string_view text) { return text.find('.') != std::string_view::npos; }
void ExtractLinks(CrawlContext&, std::string&, int, int, int, std::int64_t, int, int) {}
}  // namespace kestrelin
