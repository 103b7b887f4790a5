#include "engine/leftovers.h"

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

#include "engine/folder_walk.h"
#include "engine/paths.h"
#include "engine/rebuild_file_structure.h"
#include "engine/text_lines.h"

namespace kestrelin {
namespace {

constexpr int kMostSets = 100000;  // numbered folders tried for a new set

struct Owner {
  std::string SavePath;
  int DecodeName = 0;
};

std::string RecordOf(const std::string& workingFolder) {
  return WithoutTrailingSeparators(workingFolder) + ".destination";
}

std::string Beside(const std::string& workingFolder, const std::string& suffix) {
  return WithoutTrailingSeparators(workingFolder) + suffix;
}

bool SameFolder(const std::string& a, const std::string& b) {
  return WithoutTrailingSeparators(a) == WithoutTrailingSeparators(b);
}

std::optional<Owner> ReadOwner(FileService& fso, const std::string& record) {
  const auto text = fso.ReadFile(record);
  if (!text) return std::nullopt;
  const std::vector<std::string> lines = SplitLinesCr(*text);
  if (lines.empty() || lines[0].empty()) return std::nullopt;
  return Owner{lines[0], lines.size() > 1 && lines[1] == "1" ? 1 : 0};
}

bool WriteOwner(FileService& fso, const std::string& record, const Owner& owner) {
  return fso.WriteFile(record, owner.SavePath + "\r\n" + std::to_string(owner.DecodeName) + "\r\n");
}

// A folder that cannot be listed holds nothing a crawl could move either.
bool HoldsNothing(FileService& fso, const std::string& folder) {
  const auto files = fso.Files(folder);
  const auto folders = fso.SubFolders(folder);
  return (!files || files->empty()) && (!folders || folders->empty());
}

// A new empty folder `parent`/N (parent created when missing) whose record
// name is free too; empty when none could be made.
std::string NewNumberedFolder(FileService& fso, const std::string& parent) {
  fso.CreateFolder(parent);
  for (int n = 1; n <= kMostSets; ++n) {
    const std::string folder = JoinPath(parent, std::to_string(n));
    const bool taken =
        fso.FolderExists(folder) || fso.FileSize(folder) || fso.FileSize(RecordOf(folder));
    if (!taken) return fso.CreateFolder(folder) ? folder : std::string();
  }
  return {};
}

// Moves every entry directly in `from` into the folder `to`; false when
// something stayed.
bool MoveEntries(FileService& fso, const std::string& from, const std::string& to) {
  const std::string into = EndsWithSeparator(to) ? to : to + kPathSeparator;
  if (const auto folders = fso.SubFolders(from)) {
    for (const auto& folder : *folders) fso.MoveFolder(folder.Path, into);
  }
  if (const auto files = fso.Files(from)) {
    for (const auto& file : *files) fso.MoveFile(file.Path, JoinPath(to, file.Name));
  }
  return HoldsNothing(fso, from);
}

// Rebuilds the leftovers in `folder` into their owner's destination on one
// progress line. Returns the line; `delivered` tells whether nothing stayed.
long Deliver(CrawlContext& ctx, const std::string& folder, const Owner& owner, bool& delivered) {
  CrawlHost& host = ctx.Host;
  const std::string destination = WithoutTrailingSeparators(owner.SavePath);
  host.AddLine("Moving files of an interrupted crawl to " + destination + "...");
  const long line = host.LineCount();
  host.MakeLineVisible(line);
  host.YieldEvents();
  host.YieldEvents();
  // The rebuild works on the crawl's working folder; for this set it is
  // `folder`.
  std::string workingFolder = folder;
  std::swap(ctx.State.CachePath, workingFolder);
  const long unplaced = SplitAndMoveWorkingFolder(ctx, owner.SavePath, owner.DecodeName, {});
  std::swap(ctx.State.CachePath, workingFolder);
  ctx.State.UnplacedItems += unplaced;
  delivered = unplaced == 0;
  host.SetLineText(line, delivered ? "Files of an interrupted crawl moved to " + destination + "."
                                   : "Files of an interrupted crawl could not all be moved to " +
                                         destination + ".");
  return line;
}

// Files set aside earlier for `SavePath`, oldest set first, so that newer
// copies replace older ones.
void DeliverSetsAside(CrawlContext& ctx, const std::string& SavePath) {
  FileService& fso = ctx.FSO;
  auto sets = fso.SubFolders(Beside(ctx.State.CachePath, "-undelivered"));
  if (!sets) return;
  std::sort(sets->begin(), sets->end(), [](const FolderEntry& a, const FolderEntry& b) {
    return a.Name.size() != b.Name.size() ? a.Name.size() < b.Name.size() : a.Name < b.Name;
  });
  for (const FolderEntry& set : *sets) {
    const auto owner = ReadOwner(fso, RecordOf(set.Path));
    if (!owner || !SameFolder(owner->SavePath, SavePath)) continue;
    bool delivered = false;
    Deliver(ctx, set.Path, *owner, delivered);
    if (delivered && fso.DeleteFolder(set.Path)) fso.DeleteFile(RecordOf(set.Path));
  }
}

}  // namespace

bool BringLeftoversHome(CrawlContext& ctx, const std::string& SavePath) {
  FileService& fso = ctx.FSO;
  CrawlHost& host = ctx.Host;
  const std::string live = ctx.State.CachePath;
  DeliverSetsAside(ctx, SavePath);
  if (HoldsNothing(fso, live)) return true;

  const auto owner = ReadOwner(fso, RecordOf(live));
  if (owner) {
    bool delivered = false;
    const long line = Deliver(ctx, live, *owner, delivered);
    if (delivered) return true;
    // Out of this crawl's way, kept for the next crawl into their own
    // destination. The set's record is written before anything moves in.
    const std::string set = NewNumberedFolder(fso, Beside(live, "-undelivered"));
    const bool setAside = !set.empty() && WriteOwner(fso, RecordOf(set), *owner) &&
                          MoveEntries(fso, live, set);
    if (setAside) {
      host.SetLineText(line, host.LineText(line) + " They are kept in " + set +
                                 " for the next crawl into it.");
    }
    return setAside;
  }
  const std::string set = NewNumberedFolder(fso, Beside(live, "-unknown-destination"));
  if (set.empty() || !MoveEntries(fso, live, set)) return false;
  host.AddLine("Files of an earlier crawl whose destination is unknown were moved to " + set + ".");
  host.MakeLineVisible(host.LineCount());
  return true;
}

void ClaimWorkingFolder(CrawlContext& ctx, const std::string& SavePath, int DecodeName) {
  const std::string record = RecordOf(ctx.State.CachePath);
  if (!WriteOwner(ctx.FSO, record, Owner{SavePath, DecodeName})) ctx.FSO.DeleteFile(record);
}

void ReleaseWorkingFolder(CrawlContext& ctx) {
  if (HoldsNothing(ctx.FSO, ctx.State.CachePath)) ctx.FSO.DeleteFile(RecordOf(ctx.State.CachePath));
}

}  // namespace kestrelin
