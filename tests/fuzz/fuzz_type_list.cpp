// Type list files of any content: every type read back is well formed and
// not refused, the built-in entries come first, and writing the list and
// reading it again gives the same list.
#include <cstdlib>

#include "engine/type_list_file.h"
#include "tests/fuzz/fuzz_support.h"

using namespace kestrelin;

namespace {

void Check(StdFileService& files, const std::string& path, TypeListKind kind,
           const std::string& body) {
  if (!files.WriteFile(path, body)) return;
  const TypeListRead read = ReadTypeList(files, path, kind);
  const auto& builtIn = BuiltInTypes(kind);
  if (read.Types.size() < builtIn.size()) std::abort();
  for (std::size_t i = 0; i < builtIn.size(); ++i) {
    if (read.Types[i] != builtIn[i]) std::abort();
  }
  for (std::size_t i = builtIn.size(); i < read.Types.size(); ++i) {
    if (!HasOnlyTypeCharacters(read.Types[i]) || IsRefusedType(kind, read.Types[i])) std::abort();
  }
  if (!files.WriteFile(path, FormatTypeList(read.Types, kind))) return;
  if (ReadTypeList(files, path, kind).Types != read.Types) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static StdFileService files;
  const std::string body(reinterpret_cast<const char*>(data), size);
  const std::string path = fuzz::ScratchFolder() + "/types.ini";
  Check(files, path, TypeListKind::Ignored, body);
  Check(files, path, TypeListKind::Exclusive, body);
  return 0;
}
