#include "engine/page_text.h"

#include "engine/text_lines.h"

namespace kestrelin {

bool ReadPageText(FileService& files, const std::string& cacheFile, std::string& pageText) {
  pageText.clear();
  if (cacheFile.empty()) return false;
  const auto content = files.ReadFile(cacheFile);
  if (!content || content->empty()) return false;
  pageText.reserve(content->size());
  ForEachLine(*content, false, [&](std::string_view line) { pageText.append(TrimSpaces(line)); });
  return true;
}

}  // namespace kestrelin
