// What a scan and patch run needs of the one who started it, and of the files: the run's
// rules (engine/file_dialogue.h) ask and tell through these, so the dialog with its
// views and boxes runs them, and so does a test with a script. Pure, no Windows headers.
#pragma once

#include "engine/file_patch.h"
#include "engine/pattern_bytes.h"
#include "engine/search_answer.h"

#include <cstdint>
#include <string>

// The boxes of a run, each with a text of its own.
enum class RunBox {
    OpenFailed,              // the file could not be opened or read
    NotFound,                // the pattern is not in it
    Found,                   // where it is; nothing to write with (no replacement)
    AskReplace,              // where it is, and whether to replace it there: Yes or No
    WriteFailed,             // nothing written; the file is as it was
    WriteFailedLeftChanged,  // the write failed and the file could not be put back
    Continue,                // written; whether to go on: Yes or No
};

class RunHost {
public:
    virtual ~RunHost() = default;
    // The find or replace pattern as its HEX view holds it now, its first 86 bytes;
    // false when the view cannot be read. No bytes where it decodes to none.
    virtual bool ReadFind(PatternBytes& pattern) = 0;
    virtual bool ReadReplacement(PatternBytes& pattern) = 0;
    // Whether each replacement is asked for first.
    virtual bool AskFirst() = 0;
    // Shows box about the file at path (offset: where the pattern was found); true for
    // Yes to a question.
    virtual bool Show(RunBox box, const char* path, int64_t offset) = 0;
    // Whether the user has asked the run to stop.
    virtual bool StopAsked() = 0;
    // Called between files and while the run waits: the host pumps its messages.
    virtual void PumpMessages() = 0;
};

// How a run searches and writes the files.
class RunFiles {
public:
    virtual ~RunFiles() = default;
    // Searches the file at path from its start.
    virtual SearchAnswer Search(const char* path, const PatternBytes& pattern) = 0;
    // Writes replacement at offset, only where the file holds expected there then
    // (WriteReplacement).
    virtual WriteResult Write(const char* path, int64_t offset, const PatternBytes& expected,
                              const PatternBytes& replacement) = 0;
};

// A file a walk hands over, in walk order, with what it found searching ahead.
struct WalkFile {
    std::string path;  // 8-bit, as the walk built it
    SearchAnswer found;
};

// The files of a walk (engine/walk_ahead.h).
class WalkSource {
public:
    virtual ~WalkSource() = default;
    // The next file and its result; false once the walk is over or stopped.
    virtual bool Next(WalkFile& file) = 0;
    // Searches ahead from now on for pattern; true where it differs from the one before,
    // whose results are then thrown away.
    virtual bool SetPattern(const PatternBytes& pattern) = 0;
    // Nothing searched ahead from here to Discard is used: a box is up, and the user may
    // have a file written.
    virtual void Pause() = 0;
    virtual void Discard() = 0;
};
