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

class RecordingFileService : public FileService {
 public:
  std::vector<FileCall> Calls;

  bool FolderExists(const std::string& path) override {
    return Note("exists", path), real_.FolderExists(path);
  }
  bool CreateFolder(const std::string& path) override {
    return Note("mkdir", path), real_.CreateFolder(path);
  }
  std::optional<std::uint64_t> FileSize(const std::string& path) override {
    return Note("size", path), real_.FileSize(path);
  }
  bool CopyFile(const std::string& source, const std::string& destination) override {
    Note("copy-from", source);
    return Note("copy-to", destination), real_.CopyFile(source, destination);
  }
  bool MoveFile(const std::string& source, const std::string& destination) override {
    Note("move-from", source);
    return Note("move-to", destination), real_.MoveFile(source, destination);
  }
  bool DeleteFile(const std::string& path) override {
    return Note("delete", path), real_.DeleteFile(path);
  }
  std::optional<std::vector<FolderEntry>> Files(const std::string& folder) override {
    return Note("files", folder), real_.Files(folder);
  }
  std::optional<std::vector<FolderEntry>> SubFolders(const std::string& folder) override {
    return Note("folders", folder), real_.SubFolders(folder);
  }
  bool CopyFolder(const std::string& source, const std::string& destinationFolder) override {
    Note("copy-from", source);
    return Note("copy-to", destinationFolder), real_.CopyFolder(source, destinationFolder);
  }
  bool MoveFolder(const std::string& source, const std::string& destinationFolder) override {
    Note("move-from", source);
    return Note("move-to", destinationFolder), real_.MoveFolder(source, destinationFolder);
  }
  bool DeleteFolder(const std::string& path) override {
    return Note("rmdir", path), real_.DeleteFolder(path);
  }
  std::optional<std::string> ReadFile(const std::string& path) override {
    return Note("read", path), real_.ReadFile(path);
  }
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

}  // namespace kestrelin::test
