#pragma once
// A file and a folder that the rebuild would give the same name: the site
// has both "d/f.gif" and "d/f.gif/g.gif", or a folder link that was saved
// as a file. Both cannot stand; the level-by-level split would leave the
// later one in the destination under its working name with the folder
// marker in it. Called by RebuildFileStructure before the split, on the
// crawl thread.
#include "engine/crawl_context.h"

namespace kestrelin {

// Every file directly in the working folder whose place after the split
// (DecodeName as the split will use it) is a folder that other files need
// gets, in the working folder, the name that places it in that folder as
// "index.html", or "index-1.html", "index-2.html"... when that name is
// taken there. One progress line "Renamed " + old place + " to " + new
// place + ": a folder has the same name" for each (places below the
// destination, with "/"). A rename that fails leaves the file as it was.
void ResolveNameClashes(CrawlContext& ctx, int DecodeName);

}  // namespace kestrelin
