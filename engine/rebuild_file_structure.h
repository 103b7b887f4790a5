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
// `beforeMove`, when given, runs on the split tree before the move.
void RebuildFileStructure(CrawlContext& ctx, const std::string& SavePath, int HideDLing,
                          int DecodeName, const std::function<void()>& beforeMove = {});

// The split of the working folder alone, moving files one folder level per
// pass. RebuildFileStructure moves each file once instead (split_plan.h)
// and comes here only when that cannot be planned.
void SplitFlattenedNamesLevelByLevel(CrawlContext& ctx, int DecodeName);

}  // namespace kestrelin
