// The rules of a scan and patch run, apart from any window: for one file, report what
// its search found, ask, write, tell the outcome and search again while the user goes
// on; for a walk, the same for each file that holds the pattern, in walk order. Pure, no
// Windows headers: the host and the files come through engine/run_host.h.
#pragma once

#include "engine/run_host.h"

// How often in a row a file may turn out changed at the moment of writing before the
// write counts as failed: a file that another program rewrites all the time.
constexpr int kMostMovesInARow = 8;

// The one file named: searched for the find pattern as its view holds it, and its
// dialogue: report what the search found, ask, write, tell the outcome and search again
// while the user goes on. Nothing where there is no pattern to search for. quiet (a
// walk's file): a file that cannot be read or does not hold the pattern is passed over
// without a box.
void RunOneFile(RunHost& host, RunFiles& files, const char* path, bool quiet);

// The files of a walk for pattern, each that holds the pattern with its dialogue. Each
// file is searched for the pattern as the find view holds it when the file comes up;
// searched again where that differs from what was searched ahead or nothing was. A view
// emptied meanwhile ends the walk.
void RunWalk(RunHost& host, RunFiles& files, WalkSource& walk, PatternBytes pattern);
