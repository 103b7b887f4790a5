#pragma once
// Files and folders as the crawl uses them. Every operation reports failure
// as a value the caller must check; none throws. Paths use the platform
// separator (see paths.h); a destination that ends with the separator names
// a folder that receives the item under its own name.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kestrelin {

struct FolderEntry {
  std::string Name;  // name only
  std::string Path;  // full path
};

class FileService {
 public:
  virtual ~FileService() = default;

  virtual bool FolderExists(const std::string& path) = 0;  // trailing separator accepted
  // Creates one folder whose parent exists. False on failure or when the
  // folder already existed.
  virtual bool CreateFolder(const std::string& path) = 0;
  virtual std::optional<std::uint64_t> FileSize(const std::string& path) = 0;

  // Copies a file, replacing an existing destination file.
  virtual bool CopyFile(const std::string& source, const std::string& destination) = 0;
  // CopyFile, except that a regular file with no other name may get the
  // destination as a second name (a hard link) instead of a copy of its
  // bytes: for a file neither side changes in place (the internet cache's
  // copies, which notice an edit by their size and time).
  virtual bool LinkOrCopyFile(const std::string& source, const std::string& destination) {
    return CopyFile(source, destination);
  }
  // The effect of CopyFile followed by DeleteFile of the source, done as a
  // rename where the file system allows it.
  virtual bool MoveFile(const std::string& source, const std::string& destination) = 0;
  // MoveFile for each pair (source, destination); true for each that moved.
  // No pair's destination is another pair's source, so the moves may be
  // done in any order, or several at once.
  using FileMoves = std::vector<std::pair<std::string, std::string>>;
  virtual std::vector<bool> MoveFiles(const FileMoves& moves) {
    std::vector<bool> moved;
    moved.reserve(moves.size());
    for (const auto& [source, destination] : moves) moved.push_back(MoveFile(source, destination));
    return moved;
  }
  // Removes a file, read-only or not.
  virtual bool DeleteFile(const std::string& path) = 0;

  // The files / folders directly in `folder`, in no particular order;
  // nullopt when the folder cannot be opened.
  virtual std::optional<std::vector<FolderEntry>> Files(const std::string& folder) = 0;
  virtual std::optional<std::vector<FolderEntry>> SubFolders(const std::string& folder) = 0;

  // Copies `source` and everything below it into `destinationFolder` (which
  // ends with the separator) under the same name, merging into an existing
  // folder and replacing files of the same name.
  virtual bool CopyFolder(const std::string& source, const std::string& destinationFolder) = 0;
  // The effect of CopyFolder followed by DeleteFolder of the source, done
  // with renames where the file system allows it.
  virtual bool MoveFolder(const std::string& source, const std::string& destinationFolder) = 0;
  virtual bool DeleteFolder(const std::string& path) = 0;

  // Whole text files as bytes. Write replaces the content; Append creates
  // the file when it is missing.
  virtual std::optional<std::string> ReadFile(const std::string& path) = 0;
  virtual bool WriteFile(const std::string& path, const std::string& bytes) = 0;
  virtual bool AppendFile(const std::string& path, const std::string& bytes) = 0;
};

}  // namespace kestrelin
