#include "engine/type_list_file.h"

#include <algorithm>

#include "engine/text_lines.h"

namespace kestrelin {

const char* TypeListFileName(TypeListKind kind) {
  return kind == TypeListKind::Ignored ? "igntypes.ini" : "exctypes.ini";
}

const std::vector<std::string>& BuiltInTypes(TypeListKind kind) {
  static const std::vector<std::string> kNone;
  static const std::vector<std::string> kPages = {"html", "htm", "php", "shtml", "shtm", "phtml"};
  return kind == TypeListKind::Ignored ? kNone : kPages;
}

const std::vector<std::string>& RefusedTypes(TypeListKind kind) {
  static const std::vector<std::string> kPages = {"htm", "html", "php", "shtml", "phtml", "shtm"};
  static const std::vector<std::string> kScripts = {"asp", "cgi"};
  return kind == TypeListKind::Ignored ? kPages : kScripts;
}

bool HasOnlyTypeCharacters(std::string_view type) {
  return std::all_of(type.begin(), type.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
  });
}

bool IsRefusedType(TypeListKind kind, std::string_view type) {
  const auto& refused = RefusedTypes(kind);
  return std::find(refused.begin(), refused.end(), type) != refused.end();
}

TypeListRead ReadTypeList(FileService& fso, const std::string& path, TypeListKind kind) {
  TypeListRead result;
  result.Types = BuiltInTypes(kind);
  const auto content = fso.ReadFile(path);
  if (!content) return result;
  result.Readable = true;
  for (auto& line : SplitLinesCr(*content)) {
    if (IsRefusedType(kind, line)) {
      result.RefusedSeen.push_back(line);
    } else if (HasOnlyTypeCharacters(line)) {
      result.Types.push_back(std::move(line));
    }
  }
  return result;
}

std::string FormatTypeList(const std::vector<std::string>& types, TypeListKind kind) {
  const std::size_t skip = std::min(BuiltInTypes(kind).size(), types.size());
  return JoinLinesCrLf(std::vector<std::string>(types.begin() + skip, types.end()));
}

StaticFileTypeLists::StaticFileTypeLists() : exclusive_(BuiltInTypes(TypeListKind::Exclusive)) {}

}  // namespace kestrelin
