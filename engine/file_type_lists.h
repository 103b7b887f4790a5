#pragma once
// The two file-type lists that link extraction filters by. Read afresh at
// each test, in list order, so edits take effect for the next link.
#include <string>
#include <vector>

namespace kestrelin {

class FileTypeLists {
 public:
  virtual ~FileTypeLists() = default;
  virtual const std::vector<std::string>& IgnoredTypes() const = 0;
  // Always begins with the six page types.
  virtual const std::vector<std::string>& ExclusiveTypes() const = 0;
};

}  // namespace kestrelin
