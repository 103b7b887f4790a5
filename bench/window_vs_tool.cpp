// window_vs_tool: times one crawl through the desktop window (a real frmMain,
// shown on the offscreen platform, dialogs answering at once) against the
// same crawl by kestrelin-crawl run as a subprocess, and prints the ratio.
//
//   window_vs_tool START_URL SCRATCH_FOLDER RUNS [--tool=PATH]
//
// Every run starts from a fresh program folder, internet cache and
// destination for each side, so neither profits from the other's copies.
// The order alternates (tool first, then window first) so that the warmth
// of the server's and the system's caches favours neither side. Both sides
// use the same options: the window's defaults with "Only download given
// URL" and "Don't download up levels" off. A run fails when the two
// destinations do not hold the same number of files.
#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

#include "platform/curl_internet_cache.h"
#include "platform/std_file_service.h"
#include "platform/system_clock.h"
#include "ui/folder_list.h"
#include "ui/frm_main.h"
#include "ui/user_dialogs.h"

namespace {

using namespace kestrelin;
namespace fs = std::filesystem;

// Answers every message at once and keeps the texts.
class ImmediateDialogs : public UserDialogs {
 public:
  MessageAnswer ShowMessage(QWidget*, const std::string&, const std::string& text, MessageIcon,
                            MessageButtons) override {
    Messages.push_back(text);
    return MessageAnswer::Ok;
  }
  std::string PromptText(QWidget*, const std::string&, const std::string&) override { return {}; }
  void OpenTarget(const std::string&) override {}

  std::vector<std::string> Messages;
};

// Counts the paint events of every widget and the event loop's wake-ups
// while installed, to tell what the window's time went into.
class EventCounter : public QObject {
 public:
  explicit EventCounter(QObject* bar) : bar_(bar) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      ++Paints;
      if (watched == bar_) ++BarPaints;
    }
    return false;
  }
  long Paints = 0;
  long BarPaints = 0;

 private:
  QObject* bar_;
};

struct SideResult {
  double Seconds = 0;
  double CpuSeconds = 0;  // user + system
  long Files = 0;
  std::string Message;  // the completion message's first line
};

struct WindowExtras {
  int Yields = 0;
  long Paints = 0;
  long BarPaints = 0;
  long Wakeups = 0;
  long Lines = 0;
};

const char kCompleted[] = "Completed downloading.";

double CpuSeconds(int who) {
  rusage usage{};
  getrusage(who, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long CountFiles(const fs::path& folder) {
  long n = 0;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(folder, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
    if (it->is_regular_file()) ++n;
  return n;
}

std::string FirstLine(const std::string& text) { return text.substr(0, text.find_first_of("\r\n")); }

// Empty program, cache and destination folders for one side; what the
// other side wrote is flushed first so that its write-back does not fall
// into this side's time.
void FreshFolders(const fs::path& side) {
  fs::remove_all(side);
  for (const char* sub : {"program", "cache", "dest"}) fs::create_directories(side / sub);
  sync();
}

bool RunTool(const std::string& tool, const std::string& url, const fs::path& side,
             SideResult& out) {
  FreshFolders(side);
  QProcess process;
  process.setStandardOutputFile(QString::fromStdString((side / "stdout.txt").string()));
  process.setStandardErrorFile(QString::fromStdString((side / "stderr.txt").string()));
  const QStringList args = {
      QString::fromStdString("--URL=" + url),
      QString::fromStdString("--SavePath=" + (side / "dest").string()),
      "--RipPageOnly=0",
      "--NoGoUp=0",
      QString::fromStdString("--program-dir=" + (side / "program").string()),
      QString::fromStdString("--cache-dir=" + (side / "cache").string())};
  const double cpuBefore = CpuSeconds(RUSAGE_CHILDREN);
  QElapsedTimer timer;
  timer.start();
  process.start(QString::fromStdString(tool), args);
  if (!process.waitForStarted(-1) || !process.waitForFinished(-1)) {
    std::fprintf(stderr, "window_vs_tool: %s did not run\n", tool.c_str());
    return false;
  }
  out.Seconds = timer.nsecsElapsed() / 1e9;
  out.CpuSeconds = CpuSeconds(RUSAGE_CHILDREN) - cpuBefore;
  if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
    std::fprintf(stderr, "window_vs_tool: %s ended with code %d (see %s)\n", tool.c_str(),
                 process.exitCode(), (side / "stderr.txt").c_str());
    return false;
  }
  QFile stdoutFile(QString::fromStdString((side / "stdout.txt").string()));
  if (stdoutFile.open(QIODevice::ReadOnly)) {
    const std::string text = stdoutFile.readAll().toStdString();
    const auto at = text.rfind("MESSAGE\t");
    if (at != std::string::npos) out.Message = FirstLine(text.substr(at + 8));
    // The tool writes line ends in the message as "\r\n".
    out.Message = out.Message.substr(0, out.Message.find("\\r"));
  }
  out.Files = CountFiles(side / "dest");
  return true;
}

template <typename T>
T* Child(QWidget& window, const char* name) {
  T* found = window.findChild<T*>(name);
  if (!found) std::fprintf(stderr, "window_vs_tool: the window has no %s\n", name);
  return found;
}

bool RunWindow(const std::string& url, const fs::path& side, SideResult& out,
               WindowExtras& extras) {
  FreshFolders(side);
  StdFileService fso;
  SystemClock clock;
  ImmediateDialogs dialogs;
  CurlCacheSettings settings;
  settings.CacheFolder = (side / "cache").string();
  CurlInternetCache cache(settings);
  auto window = std::make_unique<frmMain>(MainWindowServices{
      fso, cache, clock, dialogs, (side / "program").string(),
      (side / "program" / "help.html").string(), (side / "dest").string(), {{"/", "/"}}});
  window->show();
  window->Form_Load();

  auto* rip = Child<QCheckBox>(*window, "chkRipPageOnly");
  auto* noGoUp = Child<QCheckBox>(*window, "chkNoGoUp");
  auto* address = Child<QLineEdit>(*window, "txtURL");
  auto* folders = Child<FolderList>(*window, "Dir1");
  auto* download = Child<QPushButton>(*window, "cmdDownload");
  auto* bar = Child<QProgressBar>(*window, "pBar");
  if (!rip || !noGoUp || !address || !folders || !download || !bar) return false;
  rip->setChecked(false);
  noGoUp->setChecked(false);
  address->setText(QString::fromStdString(url));
  if (!folders->SetPath((side / "dest").string())) {
    std::fprintf(stderr, "window_vs_tool: the window cannot open %s\n", (side / "dest").c_str());
    return false;
  }
  if (!download->isEnabled() || !download->isVisible()) {
    std::fprintf(stderr, "window_vs_tool: Download Files is not available for %s\n", url.c_str());
    return false;
  }
  // Whatever the window still has to paint before the crawl is not its time.
  QCoreApplication::processEvents();
  dialogs.Messages.clear();

  EventCounter counter(bar);
  long wakeups = 0;
  QMetaObject::Connection awake = QObject::connect(
      QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::awake, [&] { ++wakeups; });
  qApp->installEventFilter(&counter);
  const double cpuBefore = CpuSeconds(RUSAGE_SELF);
  QElapsedTimer timer;
  timer.start();
  download->click();  // the crawl runs inside, up to the completion message
  out.Seconds = timer.nsecsElapsed() / 1e9;
  out.CpuSeconds = CpuSeconds(RUSAGE_SELF) - cpuBefore;
  qApp->removeEventFilter(&counter);
  QObject::disconnect(awake);

  extras.Yields = window->Yields();
  extras.Paints = counter.Paints;
  extras.BarPaints = counter.BarPaints;
  extras.Wakeups = wakeups;
  extras.Lines = window->LineCount();
  if (window->Crawling()) {
    std::fprintf(stderr, "window_vs_tool: the window's crawl did not end\n");
    return false;
  }
  if (!bar->updatesEnabled() || bar->value() != bar->maximum()) {
    std::fprintf(stderr, "window_vs_tool: the bar ends at %d of %d%s\n", bar->value(),
                 bar->maximum(), bar->updatesEnabled() ? "" : " with its painting held");
    return false;
  }
  for (const auto& m : dialogs.Messages)
    if (m.rfind(kCompleted, 0) == 0) out.Message = FirstLine(m);
  window->close();
  window.reset();
  out.Files = CountFiles(side / "dest");
  return true;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::string ToolBeside(const char* argv0) {
  const fs::path self = fs::absolute(argv0);
  for (const fs::path& candidate :
       {self.parent_path() / "kestrelin-crawl", self.parent_path() / ".." / "tools" / "kestrelin-crawl"})
    if (fs::exists(candidate)) return candidate.lexically_normal().string();
  return {};
}

int Usage() {
  std::fputs("usage: window_vs_tool START_URL SCRATCH_FOLDER RUNS [--tool=PATH]\n", stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4 || argc > 5) return Usage();
  const std::string url = argv[1];
  const fs::path scratch = fs::absolute(argv[2]);
  const int runs = std::atoi(argv[3]);
  if (runs < 1) return Usage();
  std::string tool;
  if (argc == 5) {
    const std::string arg = argv[4];
    if (arg.rfind("--tool=", 0) != 0) return Usage();
    tool = arg.substr(7);
  } else {
    tool = ToolBeside(argv[0]);
  }
  if (tool.empty() || !fs::exists(tool)) {
    std::fputs("window_vs_tool: kestrelin-crawl not found; give --tool=PATH\n", stderr);
    return 2;
  }

  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  int qtArgc = 1;
  QApplication app(qtArgc, argv);

  std::printf("%-4s %-6s %8s %8s %7s %8s %8s %8s %7s %7s %7s %7s %6s\n", "run", "first",
              "tool_s", "win_s", "ratio", "tool_cpu", "win_cpu", "files", "yields", "paints",
              "barpnt", "wakeups", "lines");
  std::vector<double> ratios;
  bool allSame = true;
  for (int run = 1; run <= runs; ++run) {
    const fs::path base = scratch / ("run" + std::to_string(run));
    const bool toolFirst = run % 2 == 1;
    SideResult toolResult, windowResult;
    WindowExtras extras;
    bool ok = true;
    if (toolFirst) {
      ok = RunTool(tool, url, base / "tool", toolResult) &&
           RunWindow(url, base / "window", windowResult, extras);
    } else {
      ok = RunWindow(url, base / "window", windowResult, extras) &&
           RunTool(tool, url, base / "tool", toolResult);
    }
    if (!ok) return 1;
    const double ratio = windowResult.Seconds / toolResult.Seconds;
    ratios.push_back(ratio);
    std::printf("%-4d %-6s %8.2f %8.2f %7.3f %8.2f %8.2f %8ld %7d %7ld %7ld %7ld %6ld\n", run,
                toolFirst ? "tool" : "window", toolResult.Seconds, windowResult.Seconds, ratio,
                toolResult.CpuSeconds, windowResult.CpuSeconds, windowResult.Files,
                extras.Yields, extras.Paints, extras.BarPaints, extras.Wakeups, extras.Lines);
    if (toolResult.Files != windowResult.Files) {
      std::printf("     file counts differ: tool %ld, window %ld\n", toolResult.Files,
                  windowResult.Files);
      allSame = false;
    }
    for (const auto* side : {&toolResult, &windowResult})
      if (side->Message != kCompleted) {
        std::printf("     a side did not end with \"%s\": \"%s\"\n", kCompleted,
                    side->Message.c_str());
        allSame = false;
      }
    std::fflush(stdout);
    // The run's folders stay until the end: on ext4 without a journal (as on
    // this machine) creating files stays slow for about 30 s after many were
    // deleted, which would fall on the next run's first side.
  }
  std::printf("median ratio window/tool: %.3f over %d run(s)\n", Median(ratios), runs);
  return allSame ? 0 : 1;
}
