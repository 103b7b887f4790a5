// Whole crawls of pages whose links try to climb out of the destination, hold
// control bytes, huge names, deep folders, or are simply huge: nothing may be
// written outside the working folder, the destination and the cache, no file
// that arrived may be lost, and each crawl ends in bounded time.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <set>

#include "engine/flattened_name.h"
#include "engine/text_lines.h"
#include "tests/engine/curl_crawl_test.h"
#include "tests/engine/generated_site.h"

namespace kestrelin {
namespace {

namespace fs = std::filesystem;

std::string Repeat(const std::string& part, std::size_t times) {
  std::string text;
  for (std::size_t i = 0; i < times; ++i) text += part;
  return text;
}

std::string Img(const std::string& value) { return "<img src=\"" + value + "\">\r\n"; }

std::string Imgs(std::initializer_list<std::string> values) {
  std::string page;
  for (const auto& value : values) page += Img(value);
  return page;
}

struct HostileCase {
  std::string name;
  std::string page;  // the start page's text
  std::string mustArrive;  // a file name that must be among the downloads ("" for none)
  bool decodedToo = true;  // crawled a second time with names decoded
};

std::vector<HostileCase> Cases(const std::string& sandbox) {
  const bool long_ = test::LongTests();
  const std::size_t depth = long_ ? 10000 : 300;
  const std::size_t links = long_ ? 200000 : 20000;
  const std::size_t pageBytes = (long_ ? 50u : 5u) * 1024 * 1024;

  std::vector<HostileCase> cases = {
      {"dot segments",
       Imgs({"a/../../x1.gif", "../../../../../x2.gif", "./../x3.gif", "..//..//x4.gif",
             ".../x5.gif", "a/./../../x6.gif", "x7.gif/..", "..", "."}),
       "x1.gif"},
      {"encoded dots and separators",
       Imgs({"%2e%2e/%2e%2e/y1.gif", "%2E%2E%2F%2E%2E%2Fy2.gif", "..%2f..%2fy3.gif",
             "..%5c..%5cy4.gif", "%2e%2e%5cy5.gif", "a%2fb%2f..%2f..%2f..%2fy6.gif",
             "%252e%252e%252fy7.gif", "%2e%2e", "%2e%2e%2f%2e%2e%2f"}),
       "y1.gif"},
      {"backslashes", Imgs({"..\\..\\z1.gif", "\\..\\..\\z2.gif", "a\\..\\..\\..\\z3.gif",
                            "\\\\server\\share\\z4.gif", "a\\b\\z5.gif"}),
       "z1.gif"},
      {"absolute file paths",
       Imgs({"/etc/w1.gif", "file:///tmp/w2.gif", "C:\\Windows\\w3.gif", "C:/w4.gif",
             "//localhost:PORT/w5.gif", "~/w6.gif", sandbox + "/w7.gif",
             "http://localhost:PORT/../../w8.gif",
             "http://localhost:PORT/a/..%2f..%2fw9.gif", "http://localhost:PORT/a/%2e%2e"}),
       "w1.gif"},
      {"control bytes",
       Imgs({std::string("v\0x1.gif", 8), "a\x01\x1f" "b.gif", "\x7f.gif", "%00v2.gif",
             "%0d%0av3.gif", "tab\tv4.gif", "%x%v5.gif", "%x%..%x%..%x%v6.gif"}) +
           "<img src=\"cr\rv7.gif\">",
       "v2.gif"},
      {"long names",
       Imgs({std::string(1000, 'n') + ".gif", std::string(1000, 'f') + "/name.gif",
             Repeat(std::string(200, 's') + "/", 30) + "tail.gif",
             std::string(1000, '.') + ".gif", Repeat("%2e", 400) + ".gif",
             "clash.gif.kestrelin-part", "clash.gif", std::string(250, 'c') + ".gif"}),
       ""},
      {"deep folders",
       Imgs({Repeat("d/", depth) + "deep.gif", Repeat("../", depth) + "up.gif",
             Repeat("%2e%2e/", depth) + "up2.gif", Repeat("e%x%", depth) + "marks.gif"}),
       ""},
      {"a URL of 100 KB", Imgs({std::string(100000, 'u') + ".gif",
                                "q.gif?" + std::string(100000, 'q'),
                                Repeat("k/", 50000) + "k.gif"}),
       "q.gif"},
  };

  std::string many;
  for (std::size_t i = 0; i < links; ++i) {
    switch (i % 4) {
      case 0: many += Img("m" + std::to_string(i % 200) + ".gif?" + std::to_string(i)); break;
      case 1: many += "<a href=\"mailto:x" + std::to_string(i) + "@example.invalid\">m</a>"; break;
      case 2: many += "<a href=\"javascript:go(" + std::to_string(i) + ")\">js</a>"; break;
      default: many += "<a href=\"f" + std::to_string(i % 50) + "/\">folder</a>\r\n"; break;
    }
  }
  cases.push_back({std::to_string(links) + " links", many, "m0.gif", false});

  std::string big;
  big.reserve(pageBytes + 1000);
  for (int n = 0; big.size() < pageBytes; ++n) {
    big += std::string(100000, n % 2 ? ' ' : 'w');
    big += Img("big" + std::to_string(n % 40) + ".gif");
  }
  cases.push_back({"a page of " + std::to_string(pageBytes >> 20) + " MB", big, "big0.gif", false});

  for (const std::string ending :
       {"href=\"open.gif", "src=", "href=", "value=\"", "src=unquoted.gif", "href=\"", "\"",
        "src=\"a.gif\"src=\"b"}) {
    cases.push_back({"ends with " + ending, Img("ok.gif") + "text " + ending, "ok.gif"});
  }
  return cases;
}

class HostileContentTest : public test::CurlCrawlTest {
 protected:
  void SetUp() override {
    CurlCrawlTest::SetUp();
    // The folders sit two levels down, so that climbing a level or two out
    // of any of them still lands inside the sandbox where it is seen.
    StartCache(2, 30, "w/x/inet");
    savePath = SandboxPath("w/x/save");
    server.AnswerAnyPath([](const std::string& target) { return "bytes of " + target; });
  }

  // Crawls `page` as the start page in bounded time; returns the working
  // names of the links whose line reads "Downloaded ".
  std::set<std::string> CrawlPage(const std::string& page, int decodeName) {
    std::string text = ReplaceAll(page, "PORT", std::to_string(server.Port()));
    server.Declare("/h/g/page.html", text, "application/octet-stream");  // not compressed
    fs::remove_all(SandboxPath("w/x/save"));
    NewContext("w/x/program");
    const auto started = std::chrono::steady_clock::now();
    Crawl(server.BaseUrl() + "/h/g/page.html",
          {.RipPageOnly = 1, .NoGoUp = 0, .DecodeName = decodeName, .FollowExternal = 1});
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
    EXPECT_LT(took.count(), test::LongTests() ? 600 : 20);
    std::set<std::string> names;
    EXPECT_EQ(t->Host.CompletionMessage().rfind("Completed downloading.", 0), 0u);
    for (long n = 1; n <= t->Host.LineCount(); ++n) {
      const auto& line = t->Host.Log().Line(n);
      EXPECT_FALSE(line.Text.starts_with("Downloading ")) << line.Text.substr(0, 200);
      if (line.Text.starts_with("Downloaded ")) {
        names.insert(FlattenedName(line.Text.substr(11), t->State.SiteRoot));
      }
    }
    // The test server refuses request lines over 8 KB; any other link must
    // arrive, and a copy into the working folder must never fail.
    for (const auto& key : RedKeys()) EXPECT_GT(key.size(), 8192u) << key.substr(0, 200);
    return names;
  }

  // Everything in the sandbox lies in the three folders a crawl may write.
  void ExpectNothingOutside() const {
    for (const std::string& entry : test::ListTree(Sandbox(), true)) {
      const bool allowed = entry == "w/" || entry == "w/x/" || entry.starts_with("w/x/save/") ||
                           entry.starts_with("w/x/program/") || entry.starts_with("w/x/inet/");
      EXPECT_TRUE(allowed) << entry.substr(0, 300);
    }
    EXPECT_TRUE(fs::is_empty(SandboxPath("w/x/program/cache")));
  }
};

TEST_F(HostileContentTest, NothingLeavesItsFoldersAndNoFileIsLost) {
  for (const HostileCase& c : Cases(Sandbox().string())) {
    for (const int decodeName : {0, 1}) {
      if (decodeName == 1 && !c.decodedToo) continue;
      SCOPED_TRACE(c.name + (decodeName ? ", names decoded" : ""));
      const std::set<std::string> names = CrawlPage(c.page, decodeName);
      ExpectNothingOutside();

      const auto saved = test::ListTree(SandboxPath("w/x/save"));
      for (const auto& file : saved) {
        EXPECT_GT(fs::file_size(SandboxPath("w/x/save/" + file)), 0u) << file.substr(0, 300);
      }
      // Links that share a working name share one file; no other file may go.
      if (decodeName == 0) {
        EXPECT_EQ(saved.size(), names.size());
      }
      EXPECT_GE(saved.size(), 1u);  // the page itself at least
      if (!c.mustArrive.empty()) {
        const bool found = std::any_of(saved.begin(), saved.end(), [&](const std::string& f) {
          return f.find(c.mustArrive) != std::string::npos;
        });
        EXPECT_TRUE(found) << c.mustArrive;
      }
    }
  }
  // Climbing further than the sandbox would land in its parent or the root.
  for (const char* name : {"x2.gif", "x4.gif", "y1.gif", "y3.gif", "z1.gif", "z2.gif", "w7.gif",
                           "up.gif", "up2.gif", "v6.gif"}) {
    EXPECT_FALSE(fs::exists(Sandbox().parent_path() / name)) << name;
    EXPECT_FALSE(fs::exists(fs::path("/") / name)) << name;
  }
}

}  // namespace
}  // namespace kestrelin
