#include "engine/piece_order.h"

#include <gtest/gtest.h>

namespace {

constexpr int64_t kNothing = -1;

// The first piece with an answer wins, whichever reader finishes first; nothing after it
// is taken, and nothing is decided while a piece before it is still being read.
TEST(PieceOrder, FirstPieceWithAnAnswerWinsWhateverOrderTheyEndIn)
{
    PieceOrder order(6, kNothing);
    EXPECT_EQ(order.Take(0), 0);
    EXPECT_EQ(order.Take(1), 1);
    order.Done(1, 1000);  // the second piece ends first, with an answer
    EXPECT_FALSE(order.PieceLeft()) << "pieces after an answer still taken";
    EXPECT_FALSE(order.Decided()) << "decided while the first piece is still read";
    order.Done(0, 500);
    ASSERT_TRUE(order.Decided());
    EXPECT_EQ(order.Result(), 500);

    PieceOrder later(6, kNothing);
    later.Take(0);
    later.Take(1);
    later.Done(1, 1000);
    later.Done(0, kNothing);
    ASSERT_TRUE(later.Decided());
    EXPECT_EQ(later.Result(), 1000);

    // An answer of a later piece does not replace an earlier one's, nor a read still
    // going on past it hold up the answer.
    PieceOrder both(6, kNothing);
    both.Take(0);
    both.Take(1);
    both.Done(0, 7);
    EXPECT_TRUE(both.Decided());
    both.Done(1, 9);
    EXPECT_EQ(both.Result(), 7);
}

TEST(PieceOrder, NothingAnywhereIsDecidedOnceEveryPieceIsDone)
{
    PieceOrder order(3, kNothing);
    for (int64_t piece = 0; piece < 3; ++piece) {
        ASSERT_TRUE(order.PieceLeft());
        EXPECT_FALSE(order.Decided());
        EXPECT_EQ(order.Take(static_cast<int>(piece % 2)), piece);
        if (piece == 2) {
            EXPECT_FALSE(order.Decided()) << "the last piece is still read";
        }
        order.Done(static_cast<int>(piece % 2), kNothing);
    }
    EXPECT_FALSE(order.PieceLeft());
    EXPECT_TRUE(order.Decided());
    EXPECT_EQ(order.Result(), kNothing);
    EXPECT_TRUE(PieceOrder(0, kNothing).Decided()) << "no piece at all";
}

}  // namespace
