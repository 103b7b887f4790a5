#pragma once
// A file service that forwards every call to a StdFileService and records
// each operation with its path, in call order, so a test can see in which
// order the window reads and writes its own files.
#include <string>
#include <vector>

#include "platform/std_file_service.h"

namespace kestrelin::test {

struct FileCall {
  std::string Op;  // "read", "write", "append", "exists", "mkdir", "delete", ...
  std::string Path;
  bool operator==(const FileCall&) const = default;
};

// One path: recorded as `op`. Two paths: the source as "op-from", the
// destination as "op-to".
#define KESTRELIN_RECORD_1(Ret, Method, op)                         \
  Ret Method(const std::string& path) override {                    \
    return Note(op, path), real_.Method(path);                      \
  }
#define KESTRELIN_RECORD_2(Method, op)                                          \
  bool Method(const std::string& source, const std::string& destination) override { \
    Note(op "-from", source);                                                   \
    return Note(op "-to", destination), real_.Method(source, destination);      \
  }

class RecordingFileService : public FileService {
 public:
  std::vector<FileCall> Calls;

  KESTRELIN_RECORD_1(bool, FolderExists, "exists")
  KESTRELIN_RECORD_1(bool, CreateFolder, "mkdir")
  KESTRELIN_RECORD_1(std::optional<std::uint64_t>, FileSize, "size")
  KESTRELIN_RECORD_1(bool, DeleteFile, "delete")
  KESTRELIN_RECORD_1(std::optional<std::vector<FolderEntry>>, Files, "files")
  KESTRELIN_RECORD_1(std::optional<std::vector<FolderEntry>>, SubFolders, "folders")
  KESTRELIN_RECORD_1(bool, DeleteFolder, "rmdir")
  KESTRELIN_RECORD_1(std::optional<std::string>, ReadFile, "read")
  KESTRELIN_RECORD_2(CopyFile, "copy")
  KESTRELIN_RECORD_2(MoveFile, "move")
  KESTRELIN_RECORD_2(CopyFolder, "copy")
  KESTRELIN_RECORD_2(MoveFolder, "move")
  bool WriteFile(const std::string& path, const std::string& bytes) override {
    return Note("write", path), real_.WriteFile(path, bytes);
  }
  bool AppendFile(const std::string& path, const std::string& bytes) override {
    return Note("append", path), real_.AppendFile(path, bytes);
  }

 private:
  void Note(const char* op, const std::string& path) { Calls.push_back({op, path}); }
  StdFileService real_;
};

#undef KESTRELIN_RECORD_1
#undef KESTRELIN_RECORD_2

}  // namespace kestrelin::test
