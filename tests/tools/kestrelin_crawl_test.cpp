// kestrelin-crawl as a black box: its arguments, its output format and a
// real crawl of a site on the local test server.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>

#include "tests/support/sandbox.h"
#include "tests/support/test_server.h"

namespace kestrelin {
namespace {

struct RunResult {
  int ExitCode = -1;
  std::string Stdout;
};

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

class KestrelinCrawlTest : public test::SandboxedTest {
 protected:
  void SetUp() override {
    SandboxedTest::SetUp();
    server.ServeFolder(SandboxPath("site"));
  }
  // Runs the tool (the one built beside these tests, unless the environment
  // names another) with `arguments`; its stderr goes to stderr.txt.
  RunResult Run(const std::string& arguments) {
    const char* tool = std::getenv("KESTRELIN_CRAWL");
    const std::string command = Quoted(tool ? tool : KESTRELIN_CRAWL_PATH) + " " + arguments +
                                " 2>" + Quoted(SandboxPath("stderr.txt"));
    RunResult result;
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return result;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
      result.Stdout.append(buffer, n);
    const int status = ::pclose(pipe);
    result.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
  }
  // A crawl of the server's `path` into the sandbox's save, program and
  // cache folders.
  RunResult Crawl(const std::string& path, const std::string& options = "",
                  const std::string& save = "save") {
    return Run("--URL=" + Quoted(server.BaseUrl() + path) + " " + options + " --SavePath=" +
               Quoted(SandboxPath(save)) + " --program-dir=" + Quoted(SandboxPath("program")) +
               " --cache-dir=" + Quoted(SandboxPath("inet")));
  }
  std::string Stderr() const { return ReadFileAt("stderr.txt"); }
  test::TestServer server;
};

TEST_F(KestrelinCrawlTest, BadArgumentsGiveUsageAndExitTwo) {
  for (const std::string bad :
       {"", "--URL=http://x/", "--SavePath=/tmp/x", "--Nonsense=1 --URL=a --SavePath=b"}) {
    EXPECT_EQ(Run(bad).ExitCode, 2) << bad;
  }
}

// A final move that cannot place the files (a file where the destination's
// folder should be) is a failure: a red line keyed by the working path and
// the destination path, an entry in fail.txt and exit status 1. The files
// stay out of every other crawl's way and reach their destination with the
// next crawl into it, whatever that one fetches. Leftovers without a
// record of their destination go into neither crawl's folder.
TEST_F(KestrelinCrawlTest, FilesThatCannotBeMovedAreFailuresAndReachTheirFolderLater) {
  WriteFileAt("site/d/index.html", "<img src=\"a.gif\">");
  WriteFileAt("site/d/a.gif", "a");
  WriteFileAt("site/e/index.html", "e");
  WriteFileAt("save/d", "in the way");
  WriteFileAt("program/cache/old%x%x.gif", "old");
  const RunResult blocked = Crawl("/d/index.html");
  EXPECT_EQ(blocked.ExitCode, 1);
  EXPECT_EQ(ReadFileAt("program/cache-unknown-destination/1/old%x%x.gif"), "old");
  const std::string key = SandboxPath("program/cache/d") + " (" + SandboxPath("save/d") + ")";
  EXPECT_NE(blocked.Stdout.find("R\t" + key + "\t" + key + "\n"), std::string::npos) << blocked.Stdout;
  EXPECT_EQ(blocked.Stdout.find("File structure moved to designated folder."), std::string::npos);
  EXPECT_NE(ReadFileAt("program/fail.txt").find("\r\n" + key + "\r\n"), std::string::npos);

  // Still blocked: a crawl into another folder sets them aside and says so.
  EXPECT_EQ(Crawl("/e/index.html", "", "other").ExitCode, 1);
  EXPECT_EQ(test::ListTree(SandboxPath("other")), std::vector<std::string>{"e/index.html"});

  std::filesystem::remove(SandboxPath("save/d"));
  const RunResult next = Crawl("/e/index.html");
  EXPECT_EQ(next.ExitCode, 0) << next.Stdout;
  EXPECT_NE(next.Stdout.find("Files of an interrupted crawl moved to " + SandboxPath("save") + "."),
            std::string::npos);
  EXPECT_EQ(ReadFileAt("save/d/a.gif"), "a");
  EXPECT_EQ(test::ListTree(SandboxPath("save")),
            (std::vector<std::string>{"d/a.gif", "d/index.html", "e/index.html"}));
  EXPECT_TRUE(std::filesystem::is_empty(SandboxPath("program/cache")));
}

// A stop ends the crawl at the next file: the stop line in red, the failed
// line keeps its failure text (ListFailed removes nothing), no report, and
// what came down is still moved into SavePath and timed, with the
// permissions a new file of the user's gets.
TEST_F(KestrelinCrawlTest, AStopSkipsTheReportButKeepsTheDownloads) {
  const std::string index = "<img src=\"gone.gif\"><img src=\"a.gif\"><img src=\"b.gif\">";
  WriteFileAt("site/d/index.html", index);
  WriteFileAt("site/d/a.gif", "a");
  WriteFileAt("site/d/b.gif", "b");
  const std::string d = server.BaseUrl() + "/d/";
  // Stop asked while the third file (a.gif) comes down.
  const RunResult result = Crawl("/d/index.html", "--stop-after-files=3 --ListFailed=1");
  ASSERT_EQ(result.ExitCode, 0);
  const std::string log =
      ".\t\tNo \"robots.txt\" file found.  All files that can be found will be downloaded.\n"
      ".\t\tConnected to " + d + "index.html, downloading...\n"
      ".\t\tLinks obtained, redundant links removed, now downloading...\n"
      ".\t\tDownloaded " + d + "index.html\n"
      "R\t" + d + "gone.gif (" + d + "index.html)\tCould not download " + d + "gone.gif\n"
      ".\t\tDownloaded " + d + "a.gif\n"
      "R\t\tDownloading stopped at command\n"
      ".\t\tFile structure moved to designated folder.\n"
      "MESSAGE\tCompleted downloading.\\r\\n\\r\\nDuration: ";
  EXPECT_EQ(result.Stdout.substr(0, log.size()), log);
  EXPECT_TRUE(std::regex_match(result.Stdout.substr(log.size()), std::regex("\\d+ seconds\\.\n")))
      << result.Stdout;
  EXPECT_EQ(ReadFileAt("save/d/index.html"), index);
  EXPECT_EQ(ReadFileAt("save/d/a.gif"), "a");
  EXPECT_FALSE(std::filesystem::exists(SandboxPath("save/d/b.gif")));
  EXPECT_FALSE(std::filesystem::exists(SandboxPath("program/fail.txt")));
  EXPECT_TRUE(std::filesystem::is_empty(SandboxPath("program/cache")));
  const mode_t mask = ::umask(0);
  ::umask(mask);
  const auto perms = std::filesystem::status(SandboxPath("save/d/a.gif")).permissions();
  EXPECT_EQ(static_cast<mode_t>(perms) & 0777, 0666 & ~mask);

  // A copied file shares its bytes with the internet cache's copy (one file
  // system); a user's edit of it in place must not pass for the server's
  // version at the next crawl, which would otherwise get "not modified".
  // That crawl traces every operation of the progress window on stderr.
  std::ofstream(SandboxPath("save/d/a.gif"), std::ios::binary | std::ios::app) << " edited";
  ASSERT_EQ(Crawl("/d/index.html", "--trace").ExitCode, 0);
  EXPECT_EQ(ReadFileAt("save/d/a.gif"), "a");
  EXPECT_EQ(ReadFileAt("site/d/a.gif"), "a");
  const std::string trace = Stderr();
  EXPECT_EQ(trace.rfind("CLEAR\n", 0), 0u) << trace;
  for (const std::string op : {"\nLINK\t" + d + "a.gif\n", "\nADD\tDownloading " + d + "a.gif\t\n",
                               std::string("\nYIELD\n")})
    EXPECT_NE(trace.find(op), std::string::npos) << op;
}

}  // namespace
}  // namespace kestrelin
