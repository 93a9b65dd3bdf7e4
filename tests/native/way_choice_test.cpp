#include "engine/way_choice.h"

#include <gtest/gtest.h>

namespace {

constexpr int64_t kMiB = int64_t{1} << 20;

// A first trial is due on the first file large enough to be timed on; the cheapest way
// timed is kept, a way that could not be timed never is, and with nothing timed the
// next large file tries again. The second trial keeps each way's lower cost of the two,
// so a way held up in one span is not given up; a later trial stands alone.
TEST(WayChoice, TheCheapestWayTimedIsKept)
{
    WayChoice choice;
    EXPECT_FALSE(choice.TrialDue(kTrialFileBytes - 1));
    EXPECT_TRUE(choice.TrialDue(kTrialFileBytes));

    const double viewsCheapest[kReadWays] = {3e-10, 2e-10, 1e-10};
    choice.Timed(viewsCheapest);
    EXPECT_EQ(choice.Chosen(), ReadWay::Views);
    EXPECT_TRUE(choice.TrialDue(kTrialFileBytes)) << "the first trial is not timed again";
    EXPECT_FALSE(choice.TrialTimes(ReadWay::Pieces)) << "three times the cheapest, timed again";
    EXPECT_TRUE(choice.TrialTimes(ReadWay::SmallPieces) && choice.TrialTimes(ReadWay::Views));
    const double viewsHeldUp[kReadWays] = {3e-10, 2e-10, 9e-10};
    choice.Timed(viewsHeldUp);
    EXPECT_EQ(choice.Chosen(), ReadWay::Views) << "the second trial forgot the first";
    EXPECT_FALSE(choice.TrialDue(kTrialFileBytes));
    EXPECT_TRUE(choice.TrialTimes(ReadWay::Pieces)) << "a later trial left a way out";
    choice.Timed(viewsHeldUp);
    EXPECT_EQ(choice.Chosen(), ReadWay::SmallPieces) << "a later trial kept an old cost";

    // A way left out of the second trial keeps its first cost: it is not chosen for
    // lack of one, nor for an old cost the ways timed again no longer beat.
    WayChoice skipped;
    const double viewsDear[kReadWays] = {1e-10, 1.5e-10, 5e-10};
    skipped.Timed(viewsDear);
    EXPECT_FALSE(skipped.TrialTimes(ReadWay::Views));
    const double readingHeldUp[kReadWays] = {6e-10, 7e-10, -1};
    skipped.Timed(readingHeldUp);
    EXPECT_EQ(skipped.Chosen(), ReadWay::Pieces);

    WayChoice untimed;
    const double viewsUntimed[kReadWays] = {3e-10, 2e-10, -1};
    untimed.Timed(viewsUntimed);
    EXPECT_EQ(untimed.Chosen(), ReadWay::SmallPieces);

    const double nothing[kReadWays] = {-1, -1, -1};
    untimed.Timed(nothing);
    EXPECT_EQ(untimed.Chosen(), ReadWay::SmallPieces) << "a trial that timed nothing changes nothing";
    EXPECT_TRUE(untimed.TrialDue(kTrialFileBytes));
}

// Each trial times the ways in another order, so none always gets the same span.
TEST(WayChoice, EachTrialTimesTheWaysInAnotherOrder)
{
    WayChoice choice;
    const double costs[kReadWays] = {1e-10, 2e-10, 3e-10};
    bool first[kReadWays] = {};
    for (int trial = 0; trial < kReadWays; ++trial) {
        bool seen[kReadWays] = {};
        for (int i = 0; i < kReadWays; ++i)
            seen[static_cast<int>(choice.TrialWay(i))] = true;
        EXPECT_TRUE(seen[0] && seen[1] && seen[2]) << "a way left out of trial " << trial;
        first[static_cast<int>(choice.TrialWay(0))] = true;
        choice.Timed(costs);
    }
    EXPECT_TRUE(first[0] && first[1] && first[2]);
}

// A trial comes due again when the chosen way runs at under a third of the rate it was
// timed at (files too small to say are not counted), and after kRetrialBytes. The one
// due for a slow run takes a way found far dearer before only on a clear lead.
TEST(WayChoice, ATrialComesDueWhenTheChosenWayRunsSlowOrAfterEnoughBytes)
{
    const double costs[kReadWays] = {1e-10, 2e-10, 3e-10};  // 0.1 s a GiB
    WayChoice slow;
    slow.Timed(costs);
    slow.Timed(costs);
    slow.Ran(kRateCheckBytes - 1, 1.0);
    EXPECT_FALSE(slow.TrialDue(kTrialFileBytes)) << "a small file counted";
    slow.Ran(kRateCheckBytes, 2.9e-10 * kRateCheckBytes);
    EXPECT_FALSE(slow.TrialDue(kTrialFileBytes)) << "due at less than three times the cost";
    slow.Ran(kRateCheckBytes, 3.1e-10 * kRateCheckBytes);
    EXPECT_TRUE(slow.TrialDue(kTrialFileBytes));
    // The trial after it: views, three times the cheapest when last timed freely, come
    // level once and are not taken; held-up reads leave them ahead by more than twice.
    const double viewsLevel[kReadWays] = {1.2e-10, 1.3e-10, 1.1e-10};
    slow.Timed(viewsLevel);
    EXPECT_EQ(slow.Chosen(), ReadWay::Pieces) << "a dear way taken on one span after a slow run";
    slow.Ran(kRateCheckBytes, 1e-9 * kRateCheckBytes);
    const double readsHeldUp[kReadWays] = {1e-9, 9e-10, 4e-10};
    slow.Timed(readsHeldUp);
    EXPECT_EQ(slow.Chosen(), ReadWay::Views);

    WayChoice steady;
    steady.Timed(costs);
    steady.Timed(costs);
    int64_t searched = 0;
    for (; !steady.TrialDue(kTrialFileBytes) && searched < 2 * kRetrialBytes; searched += 64 * kMiB)
        steady.Ran(64 * kMiB, 1e-10 * 64 * kMiB);
    EXPECT_EQ(searched, kRetrialBytes);
    // One due for the bytes searched chooses freely, even just after a slow run.
    steady.Ran(kRateCheckBytes, 1.0);
    steady.Timed(viewsLevel);
    EXPECT_EQ(steady.Chosen(), ReadWay::Views);
}

}  // namespace
