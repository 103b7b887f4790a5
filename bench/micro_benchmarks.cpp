// Link extraction, duplicate removal, URL decoding, attribute
// normalization and the rebuild's split on inputs of growing size: the time
// per byte (or per link, or per file) must stay flat as the input grows.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>

#include "engine/crawl_context.h"
#include "engine/duplicate_removal.h"
#include "engine/link_extraction.h"
#include "engine/recording_host.h"
#include "engine/split_plan.h"
#include "engine/type_list_file.h"
#include "engine/url_decoding.h"
#include "engine/url_helpers.h"
#include "platform/std_file_service.h"

namespace kestrelin {
namespace {

class NoCache : public InternetCache {
 public:
  void BeginCrawl() override {}
  std::string DownloadToCacheFile(const std::string&) override { return {}; }
  std::string ContentLengthHeader(const std::string&) override { return {}; }
};

class ZeroClock : public Clock {
 public:
  int SecondsOfDay() override { return 0; }
};

// A page of about `bytes` bytes with a link in every 100 bytes, in the
// quoted, unquoted, relative and root-relative forms.
std::string MakePage(std::size_t bytes) {
  std::string page;
  page.reserve(bytes + 200);
  for (int n = 0; page.size() < bytes; ++n) {
    switch (n % 4) {
      case 0: page += "<a href=\"sub/page" + std::to_string(n) + ".html\">text here</a> "; break;
      case 1: page += "<img src=img/pic" + std::to_string(n) + ".gif alt=x> "; break;
      case 2: page += "<a href=\"../up" + std::to_string(n) + ".zip\">more text</a> "; break;
      default: page += "<link href=\"/css/s" + std::to_string(n) + ".css\"> plain words "; break;
    }
  }
  return page;
}

// A crawl's context over the real file service, with no cache, clock or
// trace of its own.
struct BenchCrawl {
  BenchCrawl() { host.KeepTrace = false; }
  CrawlState st;
  RecordingHost host;
  NoCache cache;
  StdFileService files;
  ZeroClock time;
  StaticFileTypeLists types;
  CrawlContext ctx{st, host, cache, files, time, types, "."};
};

void BM_ExtractLinks(benchmark::State& state) {
  const std::string page = MakePage(static_cast<std::size_t>(state.range(0)));
  BenchCrawl crawl;
  CrawlState& st = crawl.st;
  CrawlContext& ctx = crawl.ctx;
  st.SiteRoot = "http://example.com/";
  st.PageFolder = "http://example.com/d/e/";
  for (auto _ : state) {
    st.FileLinks = {"http://example.com/d/e/index.html"};
    st.FileCount = 1;
    std::string text = page;
    ExtractLinks(ctx, text, 0, 0, 0, 0, 0, 0);
    benchmark::DoNotOptimize(st.FileCount);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(page.size()));
  state.counters["links"] = static_cast<double>(st.FileCount);
}
BENCHMARK(BM_ExtractLinks)->Arg(512 << 10)->Arg(1 << 20)->Arg(2 << 20)->Arg(5 << 20)
    ->Unit(benchmark::kMillisecond);

void BM_RemoveDuplicateFileLinks(benchmark::State& state) {
  const auto count = static_cast<int>(state.range(0));
  std::vector<std::string> links;
  for (int i = 0; i < count; ++i) {
    links.push_back("http://example.com/folder/file" + std::to_string(i / 2) + ".gif");
  }
  CrawlState st;
  for (auto _ : state) {
    st.FileLinks = links;
    st.FileCount = count;
    RemoveDuplicateFileLinks(st);
    benchmark::DoNotOptimize(st.FileCount);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * count);
}
BENCHMARK(BM_RemoveDuplicateFileLinks)->Arg(50000)->Arg(100000)->Arg(200000)
    ->Unit(benchmark::kMillisecond);

void BM_DecodeUrlText(benchmark::State& state) {
  std::string text;
  while (text.size() < static_cast<std::size_t>(state.range(0))) text += "my%20dir/a+b%x%c%2541/";
  for (auto _ : state) benchmark::DoNotOptimize(DecodeUrlText(text));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_DecodeUrlText)->Arg(1 << 20)->Arg(4 << 20);

void BM_NormalizePageText(benchmark::State& state) {
  const std::string page = MakePage(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(NormalizePageText(page));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(page.size()));
}
BENCHMARK(BM_NormalizePageText)->Arg(1 << 20)->Arg(4 << 20)->Unit(benchmark::kMillisecond);

// A working folder of `count` flattened names, three levels deep as the
// bench site's pages are, split into its folders once per iteration (the
// folder is made anew, untimed, before each).
void BM_SplitFlattenedNames(benchmark::State& state) {
  namespace fs = std::filesystem;
  const long count = state.range(0);
  const fs::path root = fs::temp_directory_path() / ("kestrelin-split-" + std::to_string(count));
  BenchCrawl crawl;
  CrawlState& st = crawl.st;
  st.CachePath = (root / "cache").string();
  for (auto _ : state) {
    state.PauseTiming();
    fs::remove_all(root);
    fs::create_directories(st.CachePath);
    for (long i = 0; i < count; ++i) {
      const std::string name = "sec" + std::to_string(i % 10) + "%x%part" +
                               std::to_string(i / 10 % 10) + "%x%leaf" +
                               std::to_string(i / 100 % 10) + "%x%page" + std::to_string(i) + ".html";
      std::ofstream(fs::path(st.CachePath) / name);
    }
    state.ResumeTiming();
    const bool split = SplitFlattenedNamesDirectly(crawl.ctx, 0);
    benchmark::DoNotOptimize(split);
  }
  fs::remove_all(root);
  state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_SplitFlattenedNames)->Arg(3000)->Arg(20000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kestrelin

BENCHMARK_MAIN();
