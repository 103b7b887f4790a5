#include "engine/page_text.h"

#include "engine/text_lines.h"

namespace kestrelin {

std::uint64_t ReadPageText(FileService& files, const std::string& cacheFile,
                           std::string& pageText) {
  pageText.clear();
  if (cacheFile.empty()) return 0;
  const auto content = files.ReadFile(cacheFile);
  if (!content || content->empty()) return 0;
  pageText.reserve(content->size());
  ForEachLine(*content, false, [&](std::string_view line) { pageText.append(TrimSpaces(line)); });
  return content->size();
}

}  // namespace kestrelin
