// kestrelin-crawl: one crawl without a window, for scripts, benchmarks and
// black-box tests. See kUsage for the interface and the exit statuses.
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <string>

#include "engine/crawl_context.h"
#include "engine/download_site.h"
#include "engine/paths.h"
#include "engine/type_list_file.h"
#include "platform/curl_internet_cache.h"
#include "platform/program_folders.h"
#include "platform/std_file_service.h"
#include "platform/system_clock.h"
#include "platform/working_folder_lock.h"
#include "tools/console_host.h"

namespace {

using namespace kestrelin;

// The signal (SIGINT or SIGTERM) that asked the crawl to stop; 0 for none.
std::atomic<int> gInterrupted{0};

extern "C" void OnInterrupt(int signal) { gInterrupted.store(signal); }

// Exit statuses (README.md lists them).
constexpr int kExitUnplaced = 1;  // downloaded files did not all reach their destination
constexpr int kExitUsage = 2;     // bad arguments, or no working folder
constexpr int kExitBusy = 3;      // another crawl is using the working folder

const char kUsage[] =
    "usage: kestrelin-crawl --URL=TEXT --SavePath=DIR [--Name=VALUE ...]\n"
    "                       [--program-dir=DIR] [--cache-dir=DIR] [--ca-file=FILE]\n"
    "                       [--trace] [--stop-after-files=N]\n"
    "Options (--Name=VALUE): RipPageOnly NoDownload OnlyDownload NoValidate ListFailed\n"
    "  HideDLing TxtOutput LimitSize SizeLimit NoGoUp DecodeName FollowExternal\n"
    "  DownloadUnknown CompletePages OfflineLinks\n"
    "Exit status: 0 every downloaded file reached SavePath; 1 some did not (they are\n"
    "  kept for the next crawl into SavePath); 2 bad arguments or no working folder;\n"
    "  3 another crawl is using the working folder; 130 or 143 stopped by SIGINT or\n"
    "  SIGTERM (what was downloaded completely is in SavePath).\n";

struct Arguments {
  std::string URL;
  std::string SavePath;
  std::optional<std::string> url;
  std::optional<std::string> savePath;
  CrawlOptions options;
  std::string programDir = ".";
  std::string cacheDir;
  std::string caFile;
  bool trace = false;
  long stopAfterFiles = 0;
};

bool ParseInteger(const std::string& text, long long& out) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  out = std::strtoll(text.c_str(), &end, 10);
  return errno == 0 && end && *end == '\0';
}

bool SetOption(CrawlOptions& o, const std::string& name, const std::string& value) {
  long long n = 0;
  if (!ParseInteger(value, n)) return false;
  if (name == "SizeLimit") {
    if (n < 0) return false;
    o.SizeLimit = n;
    return true;
  }
  const std::map<std::string, int CrawlOptions::*> states = {
      {"RipPageOnly", &CrawlOptions::RipPageOnly}, {"NoDownload", &CrawlOptions::NoDownload},
      {"OnlyDownload", &CrawlOptions::OnlyDownload}, {"NoValidate", &CrawlOptions::NoValidate},
      {"ListFailed", &CrawlOptions::ListFailed},   {"HideDLing", &CrawlOptions::HideDLing},
      {"TxtOutput", &CrawlOptions::TxtOutput},     {"LimitSize", &CrawlOptions::LimitSize},
      {"NoGoUp", &CrawlOptions::NoGoUp},           {"DecodeName", &CrawlOptions::DecodeName},
      {"FollowExternal", &CrawlOptions::FollowExternal},
      {"DownloadUnknown", &CrawlOptions::DownloadUnknown},
      {"CompletePages", &CrawlOptions::CompletePages}, {"OfflineLinks", &CrawlOptions::OfflineLinks}};
  const auto it = states.find(name);
  if (it == states.end() || n < 0 || n > 2) return false;
  o.*(it->second) = static_cast<int>(n);
  return true;
}

std::optional<Arguments> Parse(int argc, char** argv) {
  Arguments a;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--trace") {
      a.trace = true;
      continue;
    }
    if (arg.rfind("--", 0) != 0 || arg.find('=') == std::string::npos) return std::nullopt;
    const std::string name = arg.substr(2, arg.find('=') - 2);
    const std::string value = arg.substr(arg.find('=') + 1);
    long long n = 0;
    if (name == "URL") a.url = value;
    else if (name == "SavePath") a.savePath = value;
    else if (name == "program-dir") a.programDir = value;
    else if (name == "cache-dir") a.cacheDir = value;
    else if (name == "ca-file") a.caFile = value;
    else if (name == "stop-after-files") {
      if (!ParseInteger(value, n) || n < 1) return std::nullopt;
      a.stopAfterFiles = static_cast<long>(n);
    } else if (!SetOption(a.options, name, value)) {
      return std::nullopt;
    }
  }
  if (!a.url || !a.savePath || a.savePath->empty() || a.programDir.empty()) return std::nullopt;
  a.URL = *a.url;
  a.SavePath = *a.savePath;
  return a;
}

std::string EscapeLineEnds(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == '\r') out += "\\r";
    else if (c == '\n') out += "\\n";
    else out += c;
  }
  return out;
}

std::string AbsoluteFolder(const std::string& folder) {
  std::error_code ec;
  const auto absolute = std::filesystem::absolute(folder, ec);
  return ec ? folder : absolute.lexically_normal().string();
}

StaticFileTypeLists ReadTypeLists(FileService& fso, const std::string& programDir) {
  StaticFileTypeLists lists;
  lists.Ignored() =
      ReadTypeList(fso, JoinPath(programDir, TypeListFileName(TypeListKind::Ignored)),
                   TypeListKind::Ignored).Types;
  lists.Exclusive() =
      ReadTypeList(fso, JoinPath(programDir, TypeListFileName(TypeListKind::Exclusive)),
                   TypeListKind::Exclusive).Types;
  return lists;
}

}  // namespace

int main(int argc, char** argv) {
  // Progress lines: one write each on a terminal, written in blocks when
  // they go to a file or a pipe.
  std::setvbuf(stderr, nullptr, ::isatty(2) ? _IOLBF : _IOFBF, 1 << 16);
  auto parsed = Parse(argc, argv);
  if (!parsed) {
    std::fputs(kUsage, stderr);
    return kExitUsage;
  }
  Arguments& a = *parsed;
  // Both stop the crawl the way "Stop Download" does: what came down
  // completely still lands in SavePath.
  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnInterrupt);

  const std::string programDir = AbsoluteFolder(a.programDir);
  // Recorded as the owner of the working folder's files: it must name the
  // same folder whatever folder a later crawl starts in.
  a.SavePath = AbsoluteFolder(a.SavePath);
  StdFileService fso;
  SystemClock clock;
  CurlInternetCache cache(CurlCacheSettings{
      a.cacheDir.empty() ? InternetCacheFolder() : a.cacheDir, a.caFile});
  StaticFileTypeLists types = ReadTypeLists(fso, programDir);

  CrawlState state;
  state.CachePath = JoinPath(programDir, "cache");
  // The program's folder and its working folder are created when missing;
  // without them no download could be kept.
  std::error_code folderError;
  std::filesystem::create_directories(state.CachePath, folderError);
  if (!fso.FolderExists(state.CachePath)) {
    std::cerr << "kestrelin-crawl: cannot create the working folder " << state.CachePath << "\n";
    return kExitUsage;
  }
  const auto lock = WorkingFolderLock::TryTake(programDir);
  if (!lock) {
    std::cerr << "kestrelin-crawl: another crawl is using the working folder " << state.CachePath
              << "; nothing was done. Start this crawl again when that one has ended.\n";
    return kExitBusy;
  }
  ConsoleHost host(state, a.trace, a.stopAfterFiles, gInterrupted);
  CrawlContext ctx{state, host, cache, fso, clock, types, programDir};
  DownloadSite(ctx, a.SavePath, a.URL, a.options);

  std::cout << host.FormatFinalLog();
  std::cout << "MESSAGE\t" << EscapeLineEnds(host.CompletionMessage()) << "\n";
  std::cout.flush();
  if (state.UnplacedItems != 0) {
    std::cerr << "kestrelin-crawl: " << state.UnplacedItems
              << " downloaded files or folders could not be moved to their destination; they are"
                 " kept for the next crawl into it\n";
    return kExitUnplaced;
  }
  const int signal = gInterrupted.load();
  return signal != 0 ? 128 + signal : 0;
}
