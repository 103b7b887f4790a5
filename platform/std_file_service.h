#pragma once
// The file service over std::filesystem. Copies are written under a
// temporary name and renamed when complete; a listing of files never lists,
// and once done removes, a temporary copy whose writing process no longer
// runs (one a killed process left half-written). Any thread, one call at a
// time per file.
#include "engine/file_service.h"

namespace kestrelin {

class StdFileService : public FileService {
 public:
  bool FolderExists(const std::string& path) override;
  bool CreateFolder(const std::string& path) override;
  std::optional<std::uint64_t> FileSize(const std::string& path) override;
  bool CopyFile(const std::string& source, const std::string& destination) override;
  bool LinkOrCopyFile(const std::string& source, const std::string& destination) override;
  bool MoveFile(const std::string& source, const std::string& destination) override;
  std::vector<bool> MoveFiles(const FileMoves& moves) override;
  bool DeleteFile(const std::string& path) override;
  std::optional<std::vector<FolderEntry>> Files(const std::string& folder) override;
  std::optional<std::vector<FolderEntry>> SubFolders(const std::string& folder) override;
  bool CopyFolder(const std::string& source, const std::string& destinationFolder) override;
  bool MoveFolder(const std::string& source, const std::string& destinationFolder) override;
  bool DeleteFolder(const std::string& path) override;
  std::optional<std::string> ReadFile(const std::string& path) override;
  bool WriteFile(const std::string& path, const std::string& bytes) override;
  bool AppendFile(const std::string& path, const std::string& bytes) override;
};

}  // namespace kestrelin
