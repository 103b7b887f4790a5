#pragma once
// Reading a crawled page's local copy the way link extraction expects it.
#include <cstdint>
#include <string>

#include "engine/file_service.h"

namespace kestrelin {

// `pageText` becomes the copy's lines, each trimmed of blanks, joined
// without separators. Returns the copy's size in bytes; 0 (and an empty
// text) when the copy is missing or empty.
std::uint64_t ReadPageText(FileService& files, const std::string& cacheFile,
                           std::string& pageText);

}  // namespace kestrelin
