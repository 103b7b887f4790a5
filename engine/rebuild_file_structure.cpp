#include "engine/rebuild_file_structure.h"

#include <functional>
#include <utility>
#include <vector>

#include "engine/crawl_waiting.h"
#include "engine/folder_walk.h"
#include "engine/name_clashes.h"
#include "engine/paths.h"
#include "engine/split_plan.h"
#include "engine/text_lines.h"

namespace kestrelin {
namespace {

void ShowStage(CrawlContext& ctx, long line, const std::string& text, int HideDLing) {
  CrawlHost& host = ctx.Host;
  host.SetLineText(line, text);
  host.MakeLineVisible(line);
  if (HideDLing == 1) host.TraySetTip(text, 3);
}

// Moves one flattened file a level down, or deletes it when its name ends
// with the marker. `walk` gains the folders this creates.
void SplitOne(CrawlContext& ctx, const std::string& folder, const FolderEntry& file,
              int DecodeName, FolderWalk& walk) {
  const LevelStep step = StepOneLevel(folder, file.Name, DecodeName == 1);
  if (step.What == LevelStep::Kind::Stay) return;
  if (step.What == LevelStep::Kind::Delete) {
    ctx.FSO.DeleteFile(file.Path);
    return;
  }
  const std::string& newFolder = step.Folder;
  if (!walk.KnownToExist(newFolder)) {
    bool exists = ctx.FSO.FolderExists(newFolder);
    if (!exists) {
      ctx.FSO.CreateFolder(newFolder);
      walk.Add(newFolder);
      exists = ctx.FSO.FolderExists(newFolder);
    }
    if (exists) walk.MarkExisting(newFolder);
  }
  ctx.FSO.MoveFile(file.Path, JoinPath(newFolder, step.Name));
}

}  // namespace

void SplitFlattenedNamesLevelByLevel(CrawlContext& ctx, int DecodeName) {
  FolderWalk walk(ctx.State.CachePath);
  for (std::size_t position = 0; position < walk.Size(); ++position) {
    const std::string folder = walk.At(position);  // a copy: Add may grow the walk
    const auto files = ctx.FSO.Files(folder);
    if (!files) continue;
    for (const auto& file : *files) SplitOne(ctx, folder, file, DecodeName, walk);
    // A folder left by an interrupted earlier rebuild still holds names
    // with markers; without its own turn they would reach SavePath as they
    // are, and so would this crawl's files that move into it.
    if (const auto subFolders = ctx.FSO.SubFolders(folder)) {
      for (const auto& sub : *subFolders) walk.Add(sub.Path);
    }
  }
}

namespace {

// Creates `folder` and its missing parents; false when it still is missing.
bool EnsureFolder(FileService& fso, const std::string& folder) {
  if (folder.empty() || fso.FolderExists(folder)) return true;
  const std::string trimmed = WithoutTrailingSeparators(folder);
  const auto parentEnd = trimmed.rfind(kPathSeparator);
  if (parentEnd != std::string::npos && parentEnd > 0) {
    EnsureFolder(fso, trimmed.substr(0, parentEnd));
  }
  fso.CreateFolder(trimmed);
  return fso.FolderExists(trimmed);
}

void MoveIntoSavePath(CrawlContext& ctx, const std::string& destination) {
  FileService& fso = ctx.FSO;
  EnsureFolder(fso, destination);
  if (const auto folders = fso.SubFolders(ctx.State.CachePath)) {
    for (const auto& folder : *folders) fso.MoveFolder(folder.Path, destination);
  }
  if (const auto files = fso.Files(ctx.State.CachePath)) {
    for (const auto& file : *files) fso.MoveFile(file.Path, JoinPath(destination, file.Name));
  }
}

// What is still in `folder` after the move, as pairs of working path and
// destination path: each file, and each folder whose counterpart in
// `destination` is not a folder (all of it stayed); a folder that was
// merged in part is looked into.
void CollectUnplaced(FileService& fso, const std::string& folder, const std::string& destination,
                     std::vector<std::pair<std::string, std::string>>& unplaced) {
  if (const auto files = fso.Files(folder)) {
    for (const auto& file : *files) {
      unplaced.emplace_back(file.Path, JoinPath(destination, file.Name));
    }
  }
  if (const auto folders = fso.SubFolders(folder)) {
    for (const auto& sub : *folders) {
      const std::string target = JoinPath(destination, sub.Name);
      if (fso.FolderExists(target)) CollectUnplaced(fso, sub.Path, target, unplaced);
      else unplaced.emplace_back(sub.Path, target);
    }
  }
}

void ReportUnplaced(CrawlContext& ctx, const std::string& workingPath, const std::string& target) {
  CrawlHost& host = ctx.Host;
  const std::string text = "Could not move " + workingPath + " to " + target;
  if (!host.AddKeyedLine(text, workingPath + " (" + target + ")")) host.AddLine(text);
  host.SetLineRed(host.LineCount());
  host.MakeLineVisible(host.LineCount());
  ctx.State.HadFailures = kTrue;
}

}  // namespace

long SplitAndMoveWorkingFolder(CrawlContext& ctx, const std::string& SavePath, int DecodeName,
                               const std::function<void()>& beforeMove) {
  if (!SplitFlattenedNamesDirectly(ctx, DecodeName)) SplitFlattenedNamesLevelByLevel(ctx, DecodeName);
  if (beforeMove) beforeMove();
  const std::string destination =
      EndsWithSeparator(SavePath) ? SavePath : SavePath + kPathSeparator;
  MoveIntoSavePath(ctx, destination);
  std::vector<std::pair<std::string, std::string>> unplaced;
  CollectUnplaced(ctx.FSO, ctx.State.CachePath, destination, unplaced);
  for (const auto& [workingPath, target] : unplaced) ReportUnplaced(ctx, workingPath, target);
  return static_cast<long>(unplaced.size());
}

long RebuildFileStructure(CrawlContext& ctx, const std::string& SavePath, int HideDLing,
                          int DecodeName, const std::function<void()>& beforeMove) {
  CrawlHost& host = ctx.Host;
  ResolveNameClashes(ctx, DecodeName);
  host.AddLine("Rebuilding file structure...");
  const long line = host.LineCount();
  host.MakeLineVisible(line);
  if (HideDLing == 1) host.TraySetTip("Rebuilding file structure...", 3);
  YieldTwice(host);

  const long unplaced = SplitAndMoveWorkingFolder(ctx, SavePath, DecodeName, [&] {
    if (beforeMove) beforeMove();
    ShowStage(ctx, line, "File structure rebuilt, moving files...", HideDLing);
    YieldTwice(host);
  });

  host.SetLineText(line, unplaced == 0
                             ? "File structure moved to designated folder."
                             : "File structure not moved completely to designated folder: " +
                                   std::to_string(unplaced) + " items stay in the working folder.");
  host.MakeLineVisible(host.LineCount());
  YieldTwice(host);
  return unplaced;
}

}  // namespace kestrelin
