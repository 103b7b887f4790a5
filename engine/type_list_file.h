#pragma once
// The two file-type lists as stored in igntypes.ini and exctypes.ini: one
// type per line, CR LF ends. The editors and the headless tool read them
// the same way.
#include <string>
#include <string_view>
#include <vector>

#include "engine/file_service.h"
#include "engine/file_type_lists.h"

namespace kestrelin {

enum class TypeListKind { Ignored, Exclusive };

// "igntypes.ini" or "exctypes.ini".
const char* TypeListFileName(TypeListKind kind);
// The entries a list starts with before its file is read (the six page
// types for the exclusive list); they are never written to the file.
const std::vector<std::string>& BuiltInTypes(TypeListKind kind);
// Types the list refuses with a message.
const std::vector<std::string>& RefusedTypes(TypeListKind kind);

// True when every character is a to z or a digit (an empty type passes).
bool HasOnlyTypeCharacters(std::string_view type);
bool IsRefusedType(TypeListKind kind, std::string_view type);

// The built-in entries followed by every line of the file that is neither
// refused nor malformed, in file order. `refusedSeen` receives the refused
// lines (the window shows a message for each). A missing file gives the
// built-in entries alone; `readable` tells whether the file could be read.
struct TypeListRead {
  std::vector<std::string> Types;
  std::vector<std::string> RefusedSeen;
  bool Readable = false;
};
TypeListRead ReadTypeList(FileService& fso, const std::string& path, TypeListKind kind);

// The text written at shut-down: the entries after the built-in ones.
std::string FormatTypeList(const std::vector<std::string>& types, TypeListKind kind);

// Fixed lists, for the headless tool and the tests.
class StaticFileTypeLists : public FileTypeLists {
 public:
  StaticFileTypeLists();
  StaticFileTypeLists(std::vector<std::string> ignored, std::vector<std::string> exclusive)
      : ignored_(std::move(ignored)), exclusive_(std::move(exclusive)) {}
  const std::vector<std::string>& IgnoredTypes() const override { return ignored_; }
  const std::vector<std::string>& ExclusiveTypes() const override { return exclusive_; }
  std::vector<std::string>& Ignored() { return ignored_; }
  std::vector<std::string>& Exclusive() { return exclusive_; }

 private:
  std::vector<std::string> ignored_;
  std::vector<std::string> exclusive_;
};

}  // namespace kestrelin
