// What a search of a file answers: the offset of the first occurrence, or why there is
// none to give. Pure, no Windows headers.
#pragma once

#include <cstdint>

enum class Searched : int8_t {
    Found,       // at is the offset of the first occurrence
    NotFound,    // searched to its end: the pattern is not in it
    Unreadable,  // it could not be opened, measured or read to the end measured
    Stopped,     // the run was stopped before the search could answer
    NotYet,      // a walk handed the file over without searching it
    // Within a search: a piece whose bytes could not be read (a range another program
    // locked, a sector that cannot be read). The file is then searched through mapped
    // views, which read past locks and find what lies before a bad sector.
    Unread,
};

struct SearchAnswer {
    Searched status = Searched::NotYet;
    int64_t at = -1;

    static SearchAnswer FoundAt(int64_t offset) { return {Searched::Found, offset}; }
    static SearchAnswer Of(Searched status) { return {status, -1}; }
    // What FindPattern found (an offset or SEARCH_NOT_FOUND) in bytes that start at
    // file offset base.
    static SearchAnswer OfFind(int64_t found, int64_t base)
    {
        return found >= 0 ? FoundAt(base + found) : Of(Searched::NotFound);
    }
    bool Found() const { return status == Searched::Found; }
    bool operator==(const SearchAnswer& o) const { return status == o.status && at == o.at; }
    bool operator!=(const SearchAnswer& o) const { return !(*this == o); }
};
