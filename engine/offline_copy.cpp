#include "engine/offline_copy.h"

#include <set>

#include "engine/folder_walk.h"
#include "engine/offline_links.h"
#include "engine/paths.h"

namespace kestrelin {
namespace {

std::string WithForwardSlashes(std::string path) {
  for (char& c : path) {
    if (c == kPathSeparator) c = '/';
  }
  return path;
}

struct Located {
  const CopiedFile* File;
  std::string Link;
  std::string Path;
};

}  // namespace

std::string RebuiltPath(const std::string& workingName, int DecodeName) {
  std::string folder;
  std::string name = workingName;
  for (;;) {
    const LevelStep step = StepOneLevel(folder, name, DecodeName == 1);
    if (step.What == LevelStep::Kind::Delete) return {};
    if (step.What == LevelStep::Kind::Stay) break;
    folder = step.Folder;
    name = step.Name;
  }
  std::string path = WithForwardSlashes(folder.empty() ? name : JoinPath(folder, name));
  while (path.starts_with('/')) path.erase(0, 1);
  return path;
}

void RewriteCopyForOffline(CrawlContext& ctx, int DecodeName) {
  const CrawlState& st = ctx.State;
  CopyPaths paths;
  std::vector<Located> files;
  for (const auto& [link, file] : st.CopiedFiles) {
    const std::string path = RebuiltPath(file.WorkingName, DecodeName);
    if (path.empty() || !ctx.FSO.FileSize(JoinPath(st.CachePath, path))) continue;
    paths[KeptLinkKey(link)] = path;
    if (link.ends_with('/')) paths.emplace(KeptLinkKey(link + "index.html"), path);
    if (!file.FinalUrl.empty()) paths.emplace(CopyKey(file.FinalUrl), path);
    files.push_back({&file, link, path});
  }
  // Two links can name one file (a folder with and without its "/"); its
  // text is rewritten once, since a rewritten path no longer names a link.
  std::set<std::string> done;
  for (const Located& f : files) {
    if (!f.File->Page && !f.File->StyleSheet) continue;
    if (!done.insert(f.Path).second) continue;
    const std::string local = JoinPath(st.CachePath, f.Path);
    const auto text = ctx.FSO.ReadFile(local);
    if (!text) continue;
    const std::string& base = f.File->FinalUrl.empty() ? f.Link : f.File->FinalUrl;
    const std::string rewritten = RewriteLinks(*text, f.File->StyleSheet, base, f.Path, paths);
    if (rewritten != *text) ctx.FSO.WriteFile(local, rewritten);
  }
}

}  // namespace kestrelin
