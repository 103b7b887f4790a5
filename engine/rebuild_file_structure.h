#pragma once
// The last step of every crawl: the flat working folder, where each download
// lies under a name with the folder marker "%x%" for every folder boundary,
// becomes the site's folder tree, which then moves into the destination.
#include <functional>
#include <string>

#include "engine/crawl_context.h"

namespace kestrelin {

// Walks the working folder breadth-first. Each file whose name holds a
// marker (not at its end) moves one level down: the text before the first
// marker names a folder (created when new; every folder below the working
// folder, also one left by an earlier rebuild, is walked once), the text after
// it becomes the file's name, URL-decoded when DecodeName is 1. A name
// ending with the marker is deleted; a name without one stays. Folder and
// file names go through SafeName (safe_names.h), so nothing climbs out of
// the working folder. Then every folder and file directly in the working
// folder moves into SavePath, merging into folders and replacing files
// there; SavePath is created when missing. Reports its three stages on one
// progress line (tray tips with icon kind 3 when HideDLing is 1). No failure
// stops it: a step that fails is skipped and its item stays where it was.
// Every file or folder that could not be placed stays in the working folder
// for a later crawl into the same SavePath and becomes a red line keyed by
// its working path + " (" + its path in SavePath + ")"; HadFailures is then
// set. "File structure moved to designated folder." ends the stage line
// only when nothing stayed. Returns the number of items that stayed.
// `beforeMove`, when given, runs on the split tree before the move.
long RebuildFileStructure(CrawlContext& ctx, const std::string& SavePath, int HideDLing,
                          int DecodeName, const std::function<void()>& beforeMove = {});

// The split and the move of RebuildFileStructure without its stage line:
// `beforeMove` (may be empty) runs between them. Reports and returns what
// could not be placed as RebuildFileStructure does.
long SplitAndMoveWorkingFolder(CrawlContext& ctx, const std::string& SavePath, int DecodeName,
                               const std::function<void()>& beforeMove);

// The split of the working folder alone, moving files one folder level per
// pass. RebuildFileStructure moves each file once instead (split_plan.h)
// and comes here only when that cannot be planned.
void SplitFlattenedNamesLevelByLevel(CrawlContext& ctx, int DecodeName);

}  // namespace kestrelin
