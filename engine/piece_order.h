// The order of a file's pieces when two readers take them in turn and finish them in any
// order: the answer is that of the first piece whose answer is not "nothing here", once
// every piece before it is done. Pure bookkeeping, for the caller to keep under its lock.
#pragma once

#include <cstdint>

template <typename Answer>
class PieceOrder {
public:
    static constexpr int kReaders = 2;

    PieceOrder(int64_t pieces, Answer nothing) : m_pieces(pieces), m_answer(nothing), m_nothing(nothing) {}

    // Whether a piece that still matters is left to take.
    bool PieceLeft() const { return m_next < Limit(); }
    // The next piece, taken by reader (0 .. kReaders - 1), which has none in hand.
    int64_t Take(int reader)
    {
        m_busy[reader] = m_next;
        return m_next++;
    }
    // What reader's piece holds.
    void Done(int reader, const Answer& answer)
    {
        const int64_t piece = m_busy[reader];
        m_busy[reader] = -1;
        if (answer != m_nothing && piece < m_decided) {
            m_decided = piece;
            m_answer = answer;
        }
    }
    // Every piece before the first with an answer is done, or every piece is.
    bool Decided() const
    {
        if (PieceLeft())
            return false;
        for (int64_t busy : m_busy) {
            if (busy >= 0 && busy < m_decided)
                return false;
        }
        return true;
    }
    // Once decided: the answer of the first piece that has one, or nothing.
    const Answer& Result() const { return m_answer; }

private:
    int64_t Limit() const { return m_decided < m_pieces ? m_decided : m_pieces; }

    int64_t m_pieces;
    Answer m_answer;
    Answer m_nothing;
    int64_t m_next = 0;
    int64_t m_decided = INT64_MAX;  // the first piece with an answer
    int64_t m_busy[kReaders] = {-1, -1};
};
