#include "engine/file_dialogue.h"

namespace {

// Reads the find pattern again and searches path for it from the start; false when
// there is nothing to search for, or the run is stopped. The pattern in hand stays
// where the view cannot be read.
bool NextSearch(RunHost& host, RunFiles& files, const char* path, PatternBytes& searched, SearchAnswer& found)
{
    host.ReadFind(searched);
    if (searched.n == 0 || host.StopAsked())
        return false;
    found = files.Search(path, searched);
    return true;
}

// The dialogue of the file at path from found, its first search for searched. quiet (a
// walk's file): a file that cannot be read or does not hold the pattern is passed over
// without a box.
void RunFileDialogue(RunHost& host, RunFiles& files, const char* path, bool quiet, SearchAnswer found,
                     PatternBytes searched)
{
    int moves = 0;
    for (;;) {
        if (host.StopAsked())
            return;
        switch (found.status) {
        case Searched::Found:
            break;
        case Searched::Unreadable:
        case Searched::Unread:
            if (!quiet)
                host.Show(RunBox::OpenFailed, path, -1);
            return;
        case Searched::NotFound:
            if (!quiet)
                host.Show(RunBox::NotFound, path, -1);
            return;
        case Searched::Stopped:
        case Searched::NotYet:
            return;
        }

        // A replace view that decodes to no bytes is as good as empty: the find is
        // reported, and nothing is asked, written or claimed.
        PatternBytes replacement;
        if (host.ReadReplacement(replacement) && replacement.n == 0) {
            host.Show(RunBox::Found, path, found.at);
            return;
        }
        // A stop asked for while this question is up (the close box) ends the run right
        // after it; the answer given still holds for this file.
        if (host.AskFirst() && !host.Show(RunBox::AskReplace, path, found.at))
            return;

        // Read again after the question, as the view holds it now: no bytes, or no
        // view to read, and nothing can be written.
        const WriteResult written = host.ReadReplacement(replacement) && replacement.n > 0
                                        ? files.Write(path, found.at, searched, replacement)
                                        : WriteResult::Failed;
        if (written == WriteResult::PatternMoved && ++moves < kMostMovesInARow) {
            // The file changed since it was searched: nothing was written. Search it
            // again as it now is, and go on from what that finds.
            if (!NextSearch(host, files, path, searched, found))
                return;
            continue;
        }
        if (written != WriteResult::Written) {
            // Never reported as a success; and the file is said to be as before only
            // where it is.
            host.Show(written == WriteResult::LeftChanged ? RunBox::WriteFailedLeftChanged : RunBox::WriteFailed, path,
                      found.at);
            return;
        }
        moves = 0;
        if (host.StopAsked() || !host.Show(RunBox::Continue, path, found.at) || host.StopAsked())
            return;
        // Search again from the start of the file as it now is.
        if (!NextSearch(host, files, path, searched, found))
            return;
    }
}

}  // namespace

void RunOneFile(RunHost& host, RunFiles& files, const char* path, bool quiet)
{
    PatternBytes pattern;
    if (!host.ReadFind(pattern) || pattern.n == 0)
        return;
    RunFileDialogue(host, files, path, quiet, files.Search(path, pattern), pattern);
}

void RunWalk(RunHost& host, RunFiles& files, WalkSource& walk, PatternBytes pattern)
{
    WalkFile file;
    while (walk.Next(file)) {
        // The pattern as the HEX view holds it now, as for any file (the one in hand
        // where the view cannot be read).
        host.ReadFind(pattern);
        if (pattern.n == 0)
            return;
        if (walk.SetPattern(pattern) || file.found.status == Searched::NotYet)
            file.found = files.Search(file.path.c_str(), pattern);
        if (file.found.Found()) {
            // Boxes follow, and a file may be written: nothing searched before the last
            // of them closes is used.
            walk.Pause();
            try {
                RunFileDialogue(host, files, file.path.c_str(), true, file.found, pattern);
            } catch (...) {
                // No memory to go on with this file: its dialogue ends, the walk goes on.
            }
            walk.Discard();
        }
        host.PumpMessages();
    }
}
