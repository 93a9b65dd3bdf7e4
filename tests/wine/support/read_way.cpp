#include "tests/wine/support/read_way.h"

#include "engine/search_file.h"
#include "tests/wine/support/large_file.h"

namespace {

// Searched on a thread of its own, as a walk's searches are: the choice is the same.
void SearchOnce(const std::string& path)
{
    static const unsigned char kAB[] = {'A', 'B'};
    int32_t table[256];
    FileSearcher searcher(table);
    searcher.Search(path.c_str(), kAB, 2);
}

bool IsChosen(ReadWay way)
{
    const WayChoice choice = CurrentWayChoice();
    return choice.Chosen() == way && !choice.TrialDue(kTrialFileBytes);
}

}  // namespace

faults::CallCosts Favouring(ReadWay way)
{
    return way == ReadWay::Views         ? faults::CallCosts{1, 1, 0}
           : way == ReadWay::SmallPieces ? faults::CallCosts{1, 0, 10}
                                         : faults::CallCosts{0, 1, 10};
}

bool ChooseWay(ReadWay way, const std::string& trialFile)
{
    return ChooseWay(way, trialFile, Favouring(way));
}

bool ChooseWay(ReadWay way, const std::string& trialFile, const faults::CallCosts& costs)
{
    faults::SetCallCosts(costs);
    for (int i = 0; i < 4 && !IsChosen(way); ++i)
        SearchOnce(trialFile);
    return IsChosen(way);
}

bool MakeTrialDue(const std::string& trialFile)
{
    for (int i = 0; i < 3; ++i) {
        const WayChoice choice = CurrentWayChoice();
        if (choice.TrialDue(kTrialFileBytes))
            return true;
        const ReadWay chosen = choice.Chosen();
        faults::SetCallCosts(chosen == ReadWay::Views         ? faults::CallCosts{0, 0, 10}
                             : chosen == ReadWay::SmallPieces ? faults::CallCosts{0, 10, 0}
                                                              : faults::CallCosts{10, 0, 0});
        SearchOnce(trialFile);
    }
    return CurrentWayChoice().TrialDue(kTrialFileBytes);
}

bool ReadingInPieces()
{
    if (IsChosen(ReadWay::Pieces))
        return true;
    const TempDir dir;
    const std::string trialFile = dir / "trial.bin";
    MakeSparseFile(trialFile, kTrialFileBytes);
    const bool chosen = ChooseWay(ReadWay::Pieces, trialFile);
    faults::SetCallCosts({});
    return chosen;
}
