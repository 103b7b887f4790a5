#include "platform/program_folders.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace kestrelin {
namespace {

namespace fs = std::filesystem;

std::string FromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  return value && *value ? std::string(value) : std::string();
}

std::string Home() {
  const std::string home = FromEnvironment("HOME");
  return home.empty() ? std::string("/") : home;
}

// A base folder from an XDG variable, or home + fallback.
std::string XdgFolder(const char* variable, const char* fallbackBelowHome) {
  std::string base = FromEnvironment(variable);
  if (base.empty()) base = (fs::path(Home()) / fallbackBelowHome).string();
  return (fs::path(base) / "kestrelin").string();
}

bool Exists(const fs::path& path) {
  std::error_code ec;
  return fs::exists(path, ec);
}

}  // namespace

std::string ExecutableFolder() {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec || exe.empty()) return ".";
  return exe.parent_path().string();
}

std::string UserDataFolder() { return XdgFolder("XDG_DATA_HOME", ".local/share"); }

std::string InternetCacheFolder() { return XdgFolder("XDG_CACHE_HOME", ".cache"); }

std::string DefaultDestinationFolder() { return Home(); }

bool IsWritableFolder(const std::string& folder) {
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) return false;
  return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

std::string ChooseProgramFolder(const std::string& executableFolder) {
  if (IsWritableFolder(executableFolder)) return executableFolder;
  const std::string data = UserDataFolder();
  std::error_code ec;
  fs::create_directories(data, ec);
  return data;
}

std::string FindHelpFile(const std::string& executableFolder) {
  const fs::path beside = fs::path(executableFolder) / "help.html";
  const fs::path installed =
      (fs::path(executableFolder) / ".." / "share" / "kestrelin" / "help.html").lexically_normal();
  if (Exists(beside)) return beside.string();
  if (Exists(installed)) return installed.string();
  return beside.string();
}

}  // namespace kestrelin
