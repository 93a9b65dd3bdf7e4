// The way the process reads large files (in pieces of either size, or through views) is
// its own choice, made by timing the ways on the files it searches and kept from test to
// test. Tests that depend on the way make it, through the clock of the fault seam,
// whatever this machine would have chosen.
#pragma once

#include "engine/way_choice.h"
#include "tests/wine/support/fault_injection.h"

#include <string>

// Costs on the search's clock (seconds a call) that make way the cheapest.
faults::CallCosts Favouring(ReadWay way);

// Makes the process choose way, by searching trialFile (at least kTrialFileBytes) while
// way is the cheapest: a way chosen before runs so much slower that a trial comes due,
// and the trial picks way. True once it is chosen and no trial is due; the costs stay.
bool ChooseWay(ReadWay way, const std::string& trialFile);
// The same with costs of the caller's that make way the cheapest.
bool ChooseWay(ReadWay way, const std::string& trialFile, const faults::CallCosts& costs);

// Makes a trial due, by making the way chosen cost seconds a call; the costs stay.
bool MakeTrialDue(const std::string& trialFile);

// The process's choice as it starts: reading in pieces, no trial due; made where an
// earlier test or a trial timed on this machine left another. The costs are cleared.
bool ReadingInPieces();
