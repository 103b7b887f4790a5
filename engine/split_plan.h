#pragma once
// Splitting the flattened names of the working folder with one move per
// file. The rebuild's breadth-first walk runs on a model of the working
// folder: folders are created on disk as the walk reaches them, just as a
// level-by-level split creates them, but each file's moves are only noted,
// so a file three folders deep is renamed once instead of three times.
// The model keeps what the level-by-level split would do with names that
// meet: a move onto a file replaces it, a move onto a folder or into a
// folder that could not be made fails and leaves the file where it was.
#include "engine/crawl_context.h"

namespace kestrelin {

// Splits every flattened name below ctx.State.CachePath, decoding each
// file-name part when DecodeName is 1. False, with nothing changed but the
// new folders, when the planned moves would depend on their order (one
// file's new path is where another still lies) or a path has more than one
// spelling (a doubled separator); the caller then splits level by level,
// which gives the same tree.
bool SplitFlattenedNamesDirectly(CrawlContext& ctx, int DecodeName);

}  // namespace kestrelin
