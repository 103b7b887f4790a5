// kestrelin-crawl as a black box: its arguments, its output format and a
// real crawl of a site on the local test server.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>

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
  RunResult Run(const std::string& arguments) {
    // The tool under test: the one built beside these tests, unless the
    // environment names another.
    const char* tool = std::getenv("KESTRELIN_CRAWL");
    const std::string command = Quoted(tool ? tool : KESTRELIN_CRAWL_PATH) + " " + arguments +
                                " 2>" + Quoted(SandboxPath("stderr.txt"));
    RunResult result;
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return result;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
      result.Stdout.append(buffer, n);
    }
    const int status = ::pclose(pipe);
    result.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
  }
  std::string CommonArguments() const {
    return "--SavePath=" + Quoted(SandboxPath("save")) + " --program-dir=" +
           Quoted(SandboxPath("program")) + " --cache-dir=" + Quoted(SandboxPath("inet"));
  }
  test::TestServer server;
};

TEST_F(KestrelinCrawlTest, BadArgumentsGiveUsageAndExitTwo) {
  for (const std::string bad :
       {"", "--URL=http://x/", "--SavePath=/tmp/x", "--Nonsense=1 --URL=a --SavePath=b"}) {
    EXPECT_EQ(Run(bad).ExitCode, 2) << bad;
  }
}

TEST_F(KestrelinCrawlTest, CrawlsASitePrintingTheFinalLogAndTheMessage) {
  WriteFileAt("site/d/index.html", "<img src=\"img/a.gif\"><img src=\"gone.gif\">");
  WriteFileAt("site/d/img/a.gif", "GIF89a");
  server.ServeFolder(SandboxPath("site"));
  const std::string page = server.BaseUrl() + "/d/index.html";
  const RunResult result = Run("--URL=" + Quoted(page) + " " + CommonArguments());
  ASSERT_EQ(result.ExitCode, 0) << test::ReadWholeFile(SandboxPath("stderr.txt"));
  EXPECT_EQ(ReadFileAt("save/d/img/a.gif"), "GIF89a");
  const std::string gone = server.BaseUrl() + "/d/gone.gif";
  // The failed file's line: red, keyed by the link and its page.
  EXPECT_NE(result.Stdout.find("R\t" + gone + " (" + page + ")\t"), std::string::npos)
      << result.Stdout;
  EXPECT_NE(result.Stdout.find("\nMESSAGE\tCompleted downloading.\\r\\n\\r\\nDuration: "),
            std::string::npos)
      << result.Stdout;
  EXPECT_NE(ReadFileAt("program/fail.txt").find(gone), std::string::npos);
}

TEST_F(KestrelinCrawlTest, TraceShowsEveryOperation) {
  WriteFileAt("site/index.html", "<a href=\"b.html\">b</a>");
  WriteFileAt("site/b.html", "b");
  server.ServeFolder(SandboxPath("site"));
  const RunResult result =
      Run("--URL=" + Quoted(server.BaseUrl() + "/index.html") + " --trace " + CommonArguments());
  ASSERT_EQ(result.ExitCode, 0);
  const std::string trace = test::ReadWholeFile(SandboxPath("stderr.txt"));
  EXPECT_EQ(trace.rfind("CLEAR\n", 0), 0u) << trace;
  EXPECT_NE(trace.find("\nLINK\t" + server.BaseUrl() + "/b.html\n"), std::string::npos) << trace;
  EXPECT_NE(trace.find("\nADD\tDownloading " + server.BaseUrl() + "/b.html\t\n"),
            std::string::npos);
  EXPECT_NE(trace.find("\nYIELD\n"), std::string::npos);
}

}  // namespace
}  // namespace kestrelin
