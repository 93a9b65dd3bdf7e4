// The rules of a run's dialogue, against a host whose answers are scripted and files
// held in memory: which box comes when, what is written, and when the file is searched
// again. The boxes' texts, the real writes and the real walk are the Wine tiers'.
#include "engine/file_dialogue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

Bytes BytesOf(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

PatternBytes Pattern(const std::string& text)
{
    return PatternBytes(text.data(), static_cast<int32_t>(text.size()));
}

struct Box {
    RunBox box;
    std::string path;
    int64_t offset;
    bool operator==(const Box& o) const { return box == o.box && path == o.path && offset == o.offset; }
};

const char* NameOf(RunBox box)
{
    switch (box) {
    case RunBox::OpenFailed: return "OpenFailed";
    case RunBox::NotFound: return "NotFound";
    case RunBox::Found: return "Found";
    case RunBox::AskReplace: return "AskReplace";
    case RunBox::WriteFailed: return "WriteFailed";
    case RunBox::WriteFailedLeftChanged: return "WriteFailedLeftChanged";
    case RunBox::Continue: return "Continue";
    }
    return "?";
}

void PrintTo(const Box& box, std::ostream* out)
{
    *out << NameOf(box.box) << "(" << box.path << ", " << box.offset << ")";
}

// The dialog as a script: the views' patterns, the answers to the questions in turn
// (No once they run out), and files in memory, searched and written as the program
// does. What happens while a box is up is the test's (onShow).
class ScriptedRun : public RunHost, public RunFiles {
public:
    bool ReadFind(PatternBytes& pattern) override { return Read(find, pattern); }
    bool ReadReplacement(PatternBytes& pattern) override { return Read(replacement, pattern); }
    bool AskFirst() override { return ask; }
    bool Show(RunBox box, const char* path, int64_t offset) override
    {
        boxes.push_back({box, path, offset});
        if (onShow)
            onShow(boxes.back());
        const bool question = box == RunBox::AskReplace || box == RunBox::Continue;
        if (!question || answers.empty())
            return false;
        const bool yes = answers.front();
        answers.pop_front();
        return yes;
    }
    bool StopAsked() override { return stop; }
    void PumpMessages() override { ++pumps; }

    SearchAnswer Search(const char* path, const PatternBytes& pattern) override
    {
        searches.push_back(path);
        const auto file = files.find(path);
        if (file == files.end() || unreadable == path)
            return SearchAnswer::Of(Searched::Unreadable);
        if (stopSearches)
            return SearchAnswer::Of(Searched::Stopped);
        const Bytes& bytes = file->second;
        const auto at = std::search(bytes.begin(), bytes.end(), pattern.bytes, pattern.bytes + pattern.n);
        return at == bytes.end() ? SearchAnswer::Of(Searched::NotFound) : SearchAnswer::FoundAt(at - bytes.begin());
    }
    WriteResult Write(const char* path, int64_t offset, const PatternBytes& expected,
                      const PatternBytes& with) override
    {
        ++writes;
        if (!writeFails.empty()) {
            const WriteResult failed = writeFails.front();
            writeFails.pop_front();
            return failed;
        }
        Bytes& bytes = files[path];
        const auto at = static_cast<size_t>(offset);
        if (at + static_cast<size_t>(expected.n) > bytes.size() ||
            !std::equal(expected.bytes, expected.bytes + expected.n, bytes.begin() + static_cast<std::ptrdiff_t>(at)))
            return WriteResult::PatternMoved;
        bytes.resize(std::max(bytes.size(), at + static_cast<size_t>(with.n)));
        std::copy(with.bytes, with.bytes + with.n, bytes.begin() + static_cast<std::ptrdiff_t>(at));
        return WriteResult::Written;
    }

    std::string find, replacement;
    bool findUnreadable = false, replacementUnreadable = false;
    bool ask = true;
    bool stop = false;
    bool stopSearches = false;
    std::deque<bool> answers;
    std::deque<WriteResult> writeFails;
    std::map<std::string, Bytes> files;
    std::string unreadable;
    std::function<void(const Box&)> onShow;

    std::vector<Box> boxes;
    std::vector<std::string> searches;
    int writes = 0;
    int pumps = 0;

private:
    bool Read(const std::string& hexless, PatternBytes& pattern) const
    {
        if ((&hexless == &find && findUnreadable) || (&hexless == &replacement && replacementUnreadable))
            return false;
        pattern = Pattern(hexless);
        return true;
    }
};

// A walk's files in walk order, each searched ahead or not, and what the dialogue did
// with the walk.
class ScriptedWalk : public WalkSource {
public:
    explicit ScriptedWalk(std::vector<WalkFile> files) : m_files(std::move(files)) {}
    bool Next(WalkFile& file) override
    {
        if (m_next == m_files.size())
            return false;
        file = m_files[m_next++];
        return true;
    }
    bool SetPattern(const PatternBytes& pattern) override
    {
        const bool changed = m_pattern.n > 0 && pattern != m_pattern;
        m_pattern = pattern;
        return changed;
    }
    void Pause() override { log += "pause "; }
    void Discard() override { log += "discard "; }

    std::string log;

private:
    std::vector<WalkFile> m_files;
    size_t m_next = 0;
    PatternBytes m_pattern;
};

// One file run as Start runs it.
void RunFile(ScriptedRun& run, const std::string& path = "s.bin")
{
    RunOneFile(run, run, path.c_str(), false);
}

// A run that replaces find with replacement in s.bin, which holds content; the
// questions answered in this order.
ScriptedRun Replacing(const std::string& find, const std::string& replacement, const std::string& content,
                      std::deque<bool> answers = {})
{
    ScriptedRun run;
    run.find = find;
    run.replacement = replacement;
    run.files["s.bin"] = BytesOf(content);
    run.answers = std::move(answers);
    return run;
}

TEST(FileDialogue, EachOutcomeOfTheFirstSearchHasItsBox)
{
    ScriptedRun run;
    run.find = "AB";
    run.files["plain.bin"] = BytesOf("nothing");
    run.files["s.bin"] = BytesOf("--AB");
    RunFile(run, "plain.bin");
    RunFile(run, "missing.bin");
    run.replacement = "";
    RunFile(run, "s.bin");  // no replacement: the find reported, nothing asked
    EXPECT_EQ(run.boxes, (std::vector<Box>{{RunBox::NotFound, "plain.bin", -1},
                                           {RunBox::OpenFailed, "missing.bin", -1},
                                           {RunBox::Found, "s.bin", 2}}));
    EXPECT_EQ(run.writes, 0);

    // Quiet, as a walk's files are: nothing said of what holds no pattern.
    run.boxes.clear();
    RunOneFile(run, run, "plain.bin", true);
    RunOneFile(run, run, "missing.bin", true);
    EXPECT_TRUE(run.boxes.empty());

    // Stopped: nothing at all.
    run.stopSearches = true;
    RunFile(run, "s.bin");
    EXPECT_TRUE(run.boxes.empty());
}

TEST(FileDialogue, NoPatternToSearchForSearchesNothing)
{
    ScriptedRun run;
    run.files["s.bin"] = BytesOf("AB");
    run.replacement = "YZ";
    run.find = "";  // empty, or a lone digit, which decodes to no bytes
    RunFile(run);
    run.find = "AB";
    run.findUnreadable = true;
    RunFile(run);
    EXPECT_TRUE(run.searches.empty());
    EXPECT_TRUE(run.boxes.empty());
}

TEST(FileDialogue, QuestionDecidesTheWriteAndContinueSearchesTheFileAgainFromItsStart)
{
    ScriptedRun run = Replacing("AB", "xy", "AB--AB", {true, true, true, true});
    RunFile(run);
    EXPECT_EQ(run.boxes, (std::vector<Box>{{RunBox::AskReplace, "s.bin", 0},
                                           {RunBox::Continue, "s.bin", 0},
                                           {RunBox::AskReplace, "s.bin", 4},
                                           {RunBox::Continue, "s.bin", 4},
                                           {RunBox::NotFound, "s.bin", -1}}));
    EXPECT_EQ(run.files["s.bin"], BytesOf("xy--xy"));
    EXPECT_EQ(run.searches.size(), 3u);

    // No to the question: nothing written, nothing more asked.
    ScriptedRun declined = Replacing("AB", "xy", "AB", {false});
    RunFile(declined);
    EXPECT_EQ(declined.boxes, (std::vector<Box>{{RunBox::AskReplace, "s.bin", 0}}));
    EXPECT_EQ(declined.writes, 0);

    // A replacement equal to the pattern is found again, until No.
    ScriptedRun same;
    same.find = same.replacement = "AB";
    same.files["s.bin"] = BytesOf("--AB");
    same.answers = {true, true, true, false};
    RunFile(same);
    ASSERT_EQ(same.boxes.size(), 4u);
    EXPECT_EQ(same.boxes[2], (Box{RunBox::AskReplace, "s.bin", 2}));
    EXPECT_EQ(same.files["s.bin"], BytesOf("--AB"));
}

TEST(FileDialogue, WithoutAskingTheWriteIsMadeAndContinueStillOffered)
{
    ScriptedRun run;
    run.ask = false;
    run.find = "AB";
    run.replacement = "xy";
    run.files["s.bin"] = BytesOf("-AB-AB");
    run.answers = {false};
    RunFile(run);
    EXPECT_EQ(run.boxes, (std::vector<Box>{{RunBox::Continue, "s.bin", 1}}));
    EXPECT_EQ(run.files["s.bin"], BytesOf("-xy-AB"));
}

// The views are read again after every box: what the user typed meanwhile counts.
TEST(FileDialogue, PatternsAreReadAgainAfterEachBox)
{
    ScriptedRun run = Replacing("AB", "xy", "AB-CD", {true, true, false});
    run.onShow = [&run](const Box& box) {
        if (box.box == RunBox::AskReplace && box.offset == 0)
            run.replacement = "XY";
        if (box.box == RunBox::Continue)
            run.find = "CD";
    };
    RunFile(run);
    EXPECT_EQ(run.files["s.bin"], BytesOf("XY-CD"));
    ASSERT_EQ(run.boxes.size(), 3u);
    EXPECT_EQ(run.boxes[2], (Box{RunBox::AskReplace, "s.bin", 3}));

    // Emptied during the question, the replacement cannot be written: a failure.
    ScriptedRun emptied = Replacing("AB", "xy", "AB", {true});
    emptied.onShow = [&emptied](const Box&) { emptied.replacement = ""; };
    RunFile(emptied);
    EXPECT_EQ(emptied.boxes.back(), (Box{RunBox::WriteFailed, "s.bin", 0}));
    EXPECT_EQ(emptied.writes, 0);
    EXPECT_EQ(emptied.files["s.bin"], BytesOf("AB"));

    // The find view emptied before going on: nothing more is searched.
    ScriptedRun findEmptied = Replacing("AB", "xy", "ABAB", {true, true});
    findEmptied.onShow = [&findEmptied](const Box& box) {
        if (box.box == RunBox::Continue)
            findEmptied.find = "";
    };
    RunFile(findEmptied);
    EXPECT_EQ(findEmptied.searches.size(), 1u);
    EXPECT_EQ(findEmptied.boxes.size(), 2u);
}

TEST(FileDialogue, FailedWritesAreSaidAsTheyLeftTheFile)
{
    for (WriteResult failure : {WriteResult::Failed, WriteResult::LeftChanged}) {
        ScriptedRun run = Replacing("AB", "xy", "-AB", {true, true});
        run.writeFails = {failure};
        RunFile(run);
        const RunBox said = failure == WriteResult::Failed ? RunBox::WriteFailed : RunBox::WriteFailedLeftChanged;
        EXPECT_EQ(run.boxes, (std::vector<Box>{{RunBox::AskReplace, "s.bin", 1}, {said, "s.bin", 1}}));
    }
}

// The file changed between the search and the write: nothing is written there, the file
// is searched again as it now is and its dialogue goes on from what that finds.
TEST(FileDialogue, FileChangedBeforeTheWriteIsSearchedAgain)
{
    ScriptedRun run = Replacing("AB", "YZ", "..AB..", {true, true, false});
    run.onShow = [&run](const Box& box) {
        if (run.boxes.size() == 1)
            run.files["s.bin"] = BytesOf("xx..AB..");
        (void)box;
    };
    RunFile(run);
    EXPECT_EQ(run.boxes, (std::vector<Box>{{RunBox::AskReplace, "s.bin", 2},
                                           {RunBox::AskReplace, "s.bin", 4},
                                           {RunBox::Continue, "s.bin", 4}}));
    EXPECT_EQ(run.files["s.bin"], BytesOf("xx..YZ.."));

    // Gone meanwhile: not found, and nothing written.
    ScriptedRun gone = Replacing("AB", "YZ", "..AB..", {true});
    gone.onShow = [&gone](const Box&) { gone.files["s.bin"] = BytesOf("..ab.."); };
    RunFile(gone);
    EXPECT_EQ(gone.boxes, (std::vector<Box>{{RunBox::AskReplace, "s.bin", 2}, {RunBox::NotFound, "s.bin", -1}}));
    EXPECT_EQ(gone.files["s.bin"], BytesOf("..ab.."));

    // Changed at every write, as by a program that rewrites it all the time: the
    // attempts end and the write is said to have failed, without another question.
    ScriptedRun restless;
    restless.ask = false;
    restless.find = "AB";
    restless.replacement = "YZ";
    restless.files["s.bin"] = BytesOf("AB");
    for (int i = 0; i < 20; ++i)
        restless.writeFails.push_back(WriteResult::PatternMoved);
    RunFile(restless);
    EXPECT_EQ(restless.writes, kMostMovesInARow);
    EXPECT_EQ(restless.boxes, (std::vector<Box>{{RunBox::WriteFailed, "s.bin", 0}}));
}

// A stop asked for while a question is up (the close box): the answer still holds for
// the file, and nothing is asked after it.
TEST(FileDialogue, StopDuringAQuestionEndsTheDialogueAfterItsAnswer)
{
    for (bool yes : {true, false}) {
        ScriptedRun run = Replacing("AB", "YZ", "ABAB", {yes, true});
        run.onShow = [&run](const Box&) { run.stop = true; };
        RunFile(run);
        EXPECT_EQ(run.boxes, (std::vector<Box>{{RunBox::AskReplace, "s.bin", 0}})) << yes;
        EXPECT_EQ(run.files["s.bin"], BytesOf(yes ? "YZAB" : "ABAB"));
    }

    // During the continue question: nothing more is searched.
    ScriptedRun going = Replacing("AB", "YZ", "ABAB", {true, true, true});
    going.onShow = [&going](const Box& box) {
        if (box.box == RunBox::Continue)
            going.stop = true;
    };
    RunFile(going);
    EXPECT_EQ(going.searches.size(), 1u);
    EXPECT_EQ(going.files["s.bin"], BytesOf("YZAB"));
}

WalkFile Ahead(const std::string& path, SearchAnswer found)
{
    return WalkFile{path, found};
}

// A walk reports only the files that hold the pattern, in walk order, with what was
// searched ahead; a file handed over unsearched is searched then. Boxes pause the walk
// and throw away what it searched meanwhile.
TEST(WalkDialogue, OnlyFilesWithThePatternHaveADialogueInWalkOrder)
{
    ScriptedRun run;
    run.find = "AB";
    run.replacement = "YZ";
    run.files = {{"a.bin", BytesOf("AB")}, {"b.bin", BytesOf("no")}, {"c.bin", BytesOf("-AB")}};
    run.answers = {false, true, false};
    ScriptedWalk walk({Ahead("a.bin", SearchAnswer::FoundAt(0)), Ahead("b.bin", SearchAnswer::Of(Searched::NotFound)),
                       Ahead("x.bin", SearchAnswer::Of(Searched::Unreadable)), Ahead("c.bin", SearchAnswer{})});
    RunWalk(run, run, walk, Pattern("AB"));
    EXPECT_EQ(run.boxes, (std::vector<Box>{{RunBox::AskReplace, "a.bin", 0},
                                           {RunBox::AskReplace, "c.bin", 1},
                                           {RunBox::Continue, "c.bin", 1}}));
    EXPECT_EQ(run.searches, std::vector<std::string>{"c.bin"}) << "only the file not searched ahead";
    EXPECT_EQ(walk.log, "pause discard pause discard ");
    EXPECT_EQ(run.files["c.bin"], BytesOf("-YZ"));
    EXPECT_EQ(run.files["a.bin"], BytesOf("AB"));
    EXPECT_GE(run.pumps, 4) << "messages pumped after each file";
}

TEST(WalkDialogue, FindViewChangedDuringTheWalkIsSearchedForFromTheNextFile)
{
    ScriptedRun run;
    run.find = "AB";
    run.replacement = "";
    run.files = {{"a.bin", BytesOf("AB")}, {"b.bin", BytesOf("AB-CD")}, {"c.bin", BytesOf("CD")}};
    run.onShow = [&run](const Box&) { run.find = "CD"; };
    ScriptedWalk walk({Ahead("a.bin", SearchAnswer::FoundAt(0)), Ahead("b.bin", SearchAnswer::FoundAt(0)),
                       Ahead("c.bin", SearchAnswer::FoundAt(0))});
    RunWalk(run, run, walk, Pattern("AB"));
    // What was searched ahead for AB counts for nothing once the view says CD: b.bin is
    // searched again, c.bin was searched ahead for CD.
    EXPECT_EQ(run.boxes, (std::vector<Box>{{RunBox::Found, "a.bin", 0},
                                           {RunBox::Found, "b.bin", 3},
                                           {RunBox::Found, "c.bin", 0}}));

    // Emptied: the walk ends.
    ScriptedRun emptied;
    emptied.find = "AB";
    emptied.replacement = "";
    emptied.files = {{"a.bin", BytesOf("AB")}, {"b.bin", BytesOf("AB")}};
    emptied.onShow = [&emptied](const Box&) { emptied.find = ""; };
    ScriptedWalk shortWalk({Ahead("a.bin", SearchAnswer::FoundAt(0)), Ahead("b.bin", SearchAnswer::FoundAt(0))});
    RunWalk(emptied, emptied, shortWalk, Pattern("AB"));
    EXPECT_EQ(emptied.boxes.size(), 1u);
}

}  // namespace
