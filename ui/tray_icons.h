#pragma once
// The program's pictures, drawn in code so the program carries no image
// files: the window icon and the three tray images of a crawl's phases.
#include <QIcon>

namespace kestrelin {

QIcon KestrelinIcon();  // a kestrel's wing over a down arrow, the window icon
QIcon magIcon();        // icon kind 1: a magnifying glass (searching)
QIcon globIcon();       // icon kind 2: a globe (downloading)
QIcon buildIcon();      // icon kind 3: a stack of blocks (rebuilding)

// The tray image of an icon kind (1 to 3); a null icon for any other kind.
QIcon TrayIconOfKind(int iconKind);

}  // namespace kestrelin
