#include "platform/std_file_service.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace kestrelin {
namespace fs = std::filesystem;

bool StdFileService::FolderExists(const std::string& path) {
  std::error_code ec;
  return fs::is_directory(fs::path(path), ec);
}
bool StdFileService::CreateFolder(const std::string& path) {
  std::error_code ec;
  return fs::create_directory(fs::path(path), ec);
}
std::optional<std::uint64_t> StdFileService::FileSize(const std::string& path) {
  std::error_code ec;
  const auto size = fs::file_size(fs::path(path), ec);
  if (ec) return std::nullopt;
  return size;
}
bool StdFileService::CopyFile(const std::string&, const std::string&) { return false; }
bool StdFileService::MoveFile(const std::string&, const std::string&) { return false; }
bool StdFileService::DeleteFile(const std::string&) { return false; }
std::optional<std::vector<FolderEntry>> StdFileService::Files(const std::string&) { return std::nullopt; }
std::optional<std::vector<FolderEntry>> StdFileService::SubFolders(const std::string&) { return std::nullopt; }
bool StdFileService::CopyFolder(const std::string&, const std::string&) { return false; }
bool StdFileService::MoveFolder(const std::string&, const std::string&) { return false; }
bool StdFileService::DeleteFolder(const std::string&) { return false; }
std::optional<std::string> StdFileService::ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  return bytes;
}
bool StdFileService::WriteFile(const std::string&, const std::string&) { return false; }
bool StdFileService::AppendFile(const std::string&, const std::string&) { return false; }

}  // namespace kestrelin
