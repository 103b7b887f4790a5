// kestrelin-crawl stopped at seeded moments of a crawl of a few hundred
// files, by SIGKILL (nothing can be done) and by SIGTERM (an orderly stop):
// no file in SavePath may ever hold other bytes than the server's file of
// its path; after SIGTERM everything downloaded has landed; after SIGKILL
// the next crawl, of another site into another destination, first brings
// each file the killed one had downloaded completely into the killed one's
// destination and puts nothing of either site into the other's. Two crawls
// on one program folder never run at once. KESTRELIN_LONG_TESTS=1 runs 20
// stops of each kind.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <map>
#include <random>
#include <thread>

#include "engine/text_lines.h"
#include "tests/engine/generated_site.h"
#include "tests/support/sandbox.h"
#include "tests/support/test_server.h"

namespace kestrelin {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kExitTimeoutMs = 60000;

class KillSafetyTest : public test::SandboxedTest {
 protected:
  void SetUp() override {
    SandboxedTest::SetUp();
    external.Declare("/ext.gif", "external bytes", "image/gif");
    for (const auto& [path, bytes] : siteB) external.Declare("/" + path, bytes, "text/html");
    site = test::WriteNestedSite(SandboxPath("site"), external.BaseUrl());
    server.ServeFolder(SandboxPath("site"));
    // Slow enough answers that a crawl lasts long enough to be cut anywhere.
    server.DelayFolderAnswers(8);
  }

  // Starts the tool on the site (or on site B) with SavePath, program and
  // cache folders below `prefix`, its output going nowhere. With
  // `untilRebuilding` it returns once its progress shows the rebuild has
  // begun (or the crawl has ended, or after a minute), so that a kill lands
  // inside the rebuild.
  pid_t Start(const std::string& prefix, bool untilRebuilding = false, bool b = false,
              const std::string& url = "") const {
    const char* env = std::getenv("KESTRELIN_CRAWL");
    const std::string start =
        !url.empty() ? url : b ? external.BaseUrl() + "/b/index.html" : server.BaseUrl() + "/index.html";
    std::vector<std::string> args = {env ? env : KESTRELIN_CRAWL_PATH,
                                     "--URL=" + start,
                                     "--SavePath=" + SandboxPath(prefix + (b ? "save-b" : "save")),
                                     "--program-dir=" + SandboxPath(prefix + "program"),
                                     "--cache-dir=" + SandboxPath(prefix + "inet"),
                                     "--RipPageOnly=0",
                                     "--NoGoUp=0"};
    int progress[2] = {-1, -1};  // the progress lines (stderr) when watched
    if (untilRebuilding && ::pipe(progress) != 0) progress[0] = progress[1] = -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
      const int devNull = ::open("/dev/null", O_WRONLY);
      ::dup2(devNull, 1);
      ::dup2(progress[1] >= 0 ? progress[1] : devNull, 2);
      std::vector<char*> argv;
      for (auto& arg : args) argv.push_back(arg.data());
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    if (progress[0] < 0) return pid;
    ::close(progress[1]);
    const std::string marker = "Rebuilding file structure...";
    const auto deadline = Clock::now() + std::chrono::milliseconds(kExitTimeoutMs);
    std::string seen;
    char buffer[4096];
    while (Clock::now() < deadline) {
      pollfd p{progress[0], POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      const ssize_t n = ::read(progress[0], buffer, sizeof buffer);
      if (n <= 0) break;
      seen.append(buffer, static_cast<std::size_t>(n));
      if (seen.find(marker) != std::string::npos) break;
      seen.erase(0, seen.size() > marker.size() ? seen.size() - marker.size() : 0);
    }
    ::close(progress[0]);  // later progress lines find no reader; the kill follows
    return pid;
  }

  // Waits for the child at most `timeoutMs`; kills it when it is still
  // running then. Returns its wait status.
  static int WaitFor(pid_t pid, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
      if (Clock::now() > deadline) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        ADD_FAILURE() << "the crawl did not end in time";
        return status;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return status;
  }

  // Files below `save` whose bytes are not those of the site's file of the
  // same path (or that the site does not have at all), then, unless
  // `onlyWrong`, the site's files missing there, each as "missing <path>".
  std::vector<std::string> WrongOrMissingFiles(const std::string& save,
                                               const std::map<std::string, std::string>& files,
                                               bool onlyWrong = false) const {
    std::vector<std::string> bad;
    for (const auto& path : test::ListTree(SandboxPath(save))) {
      const auto it = files.find(path);
      if (it == files.end() || test::ReadWholeFile(SandboxPath(save + "/" + path)) != it->second)
        bad.push_back(path);
    }
    for (const auto& [path, bytes] : files)
      if (!onlyWrong && !std::filesystem::exists(SandboxPath(save + "/" + path)))
        bad.push_back("missing " + path);
    return bad;
  }
  // The site paths of the files in the working folder: complete downloads,
  // flat or split in part (temporary copies left out).
  std::vector<std::string> Downloaded(const std::string& prefix) const {
    std::vector<std::string> paths;
    for (const auto& name : test::ListTree(SandboxPath(prefix + "program/cache")))
      if (!name.ends_with(".part")) paths.push_back(ReplaceAll(name, "%x%", "/"));
    return paths;
  }
  // Returns once the crawl below `prefix` holds its working folder: its
  // record of the destination is written then.
  void AwaitCrawling(const std::string& prefix) const {
    const auto deadline = Clock::now() + std::chrono::milliseconds(kExitTimeoutMs);
    while (!std::filesystem::exists(SandboxPath(prefix + "program/cache.destination")) &&
           Clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  // Runs a crawl to its end; returns its exit status.
  int Crawl(const std::string& prefix, bool b = false) const {
    const int status = WaitFor(Start(prefix, false, b), kExitTimeoutMs);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  const std::map<std::string, std::string> siteB = {
      {"b/index.html", "<img src=\"b.gif\"><a href=\"c.html\">c</a>"}, {"b/b.gif", "b"}, {"b/c.html", "c"}};
  test::TestServer server;
  test::TestServer external;
  test::GeneratedSite site;
};

TEST_F(KillSafetyTest, StoppedCrawlsLoseAndMisplaceNothingAndOneFolderServesOneCrawl) {
  // A complete crawl of its own tells how long one lasts. A second crawl
  // started on its program folder meanwhile is refused and changes nothing.
  const auto began = Clock::now();
  const pid_t first = Start("ref-");
  AwaitCrawling("ref-");
  EXPECT_EQ(Crawl("ref-", true), 3);
  ASSERT_TRUE(WIFEXITED(WaitFor(first, kExitTimeoutMs)));
  const auto crawlMs =
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - began).count();
  ASSERT_EQ(WrongOrMissingFiles("ref-save", site.Reachable), std::vector<std::string>{});
  EXPECT_FALSE(std::filesystem::exists(SandboxPath("ref-save-b")));

  const int runs = test::LongTests() ? 20 : 3;
  std::mt19937 random(20261207);
  std::uniform_int_distribution<long> moment(1, crawlMs + crawlMs / 10);
  for (const int signal : {SIGKILL, SIGTERM}) {
    int survived = 0, carried = 0, lost = 0;
    for (int run = 0; run < runs; ++run) {
      SCOPED_TRACE("signal " + std::to_string(signal) + " run " + std::to_string(run));
      // Every other stop aims at the rebuild, a short moment of each crawl.
      const bool atRebuild = run % 2 == 1;
      const pid_t pid = Start("", atRebuild);
      if (!atRebuild) AwaitCrawling("");
      std::this_thread::sleep_for(
          std::chrono::milliseconds(atRebuild ? moment(random) % 4 : moment(random)));
      ::kill(pid, signal);
      const int status = WaitFor(pid, kExitTimeoutMs);
      // An orderly stop lands what came down (status 0 when it came after
      // the end).
      if (signal == SIGTERM) {
        EXPECT_TRUE(WIFEXITED(status) && (WEXITSTATUS(status) == 143 || WEXITSTATUS(status) == 0))
            << status;
        EXPECT_EQ(Downloaded(""), std::vector<std::string>{});
      }
      EXPECT_EQ(WrongOrMissingFiles("save", site.Reachable, true), std::vector<std::string>{});
      const std::vector<std::string> downloaded = Downloaded("");
      carried += static_cast<int>(downloaded.size());

      // The next crawl, of site B into its own folder, first brings them home.
      std::filesystem::remove_all(SandboxPath("save-b"));
      EXPECT_EQ(Crawl("", true), 0);
      std::vector<std::string> bad = WrongOrMissingFiles("save", site.Reachable, true);
      for (const auto& path : downloaded) {
        const auto it = site.Reachable.find(path);
        if (it == site.Reachable.end() || test::ReadWholeFile(SandboxPath("save/" + path)) != it->second)
          bad.push_back("lost " + path);
      }
      for (const auto& path : WrongOrMissingFiles("save-b", siteB)) bad.push_back("in B: " + path);
      if (!test::ListTree(SandboxPath("program/cache")).empty()) bad.push_back("left in cache");
      EXPECT_EQ(bad, std::vector<std::string>{});
      lost += static_cast<int>(bad.size());
      survived += bad.empty() ? 1 : 0;
    }
    std::cout << "kill safety (signal " << signal << "): runs " << runs << ", survived " << survived
              << ", downloads carried home " << carried << ", files lost or misplaced " << lost
              << ", crawl " << crawlMs << " ms\n";
  }
  // One complete crawl afterwards gives the whole site exactly.
  EXPECT_EQ(Crawl(""), 0);
  EXPECT_EQ(WrongOrMissingFiles("save", site.Reachable), std::vector<std::string>{});
  EXPECT_EQ(test::ListTree(SandboxPath("program/cache")), std::vector<std::string>{});
}

// However slowly a server trickles a file, SIGINT and SIGTERM end the crawl
// within a second: the file that came down whole lands, nothing partial does.
TEST_F(KillSafetyTest, ASignalEndsATricklingTransferWithinASecond) {
  external.Declare("/t/index.html", "<img src=\"a.gif\"><img src=\"slow.gif\">");
  external.Declare("/t/a.gif", "whole", "image/gif");
  external.Declare("/t/slow.gif", {.Body = std::string(65536, 's'), .ContentType = "image/gif",
                                   .How = test::Delivery::Stall, .StallMs = 200});
  for (const int signal : {SIGINT, SIGTERM}) {
    SCOPED_TRACE("signal " + std::to_string(signal));
    const std::string prefix = "sig" + std::to_string(signal) + "-";
    external.ResetCounts();
    const pid_t pid = Start(prefix, false, false, external.BaseUrl() + "/t/index.html");
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    while (external.RequestCount("/t/slow.gif") == 0 && Clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // bytes are trickling
    const auto sent = Clock::now();
    ::kill(pid, signal);
    const int status = WaitFor(pid, kExitTimeoutMs);
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - sent).count(), 1000);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 128 + signal) << status;
    EXPECT_EQ(test::ReadWholeFile(SandboxPath(prefix + "save/t/a.gif")), "whole");
    EXPECT_FALSE(std::filesystem::exists(SandboxPath(prefix + "save/t/slow.gif")));
    EXPECT_EQ(Downloaded(prefix), std::vector<std::string>{});
  }
}

}  // namespace
}  // namespace kestrelin
