// The three reports of ffsinspect over a mounted image: the tree listing,
// the volume's state and the sector map. Each prints to standard output.
#pragma once

#include "imagecheck/image_session.h"

namespace inspect {

// One line per entry (root first, directories in listing order): path, kind,
// size, serial, mode (octal), link count.
void PrintList(ImageSession& session);
// Geometry, newest checkpoint, tree counts, cluster counts and the volume
// statistics of the dispatcher.
void PrintStat(ImageSession& session, const char* flashType);
// One line per sector and the spread of erase counts.
void PrintSectors(ImageSession& session);

}  // namespace inspect
