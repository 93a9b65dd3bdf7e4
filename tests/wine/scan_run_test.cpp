// Start on the real dialog: the per-file dialogue of finding, confirming, writing and
// continuing, for one file and for a directory walk, with the boxes answered for real.
#include "framework/file_find.h"
#include "tests/wine/support/fault_injection.h"
#include "tests/wine/support/large_file.h"
#include "tests/wine/support/process_counts.h"
#include "tests/wine/support/scan_run_fixture.h"
#include "tests/wine/support/shortcuts.h"
#include "tests/wine/support/user_input.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <thread>

namespace {

const Bytes kSample = BytesOf("0123456789abcdefABCdefghijABC");

// Whether the file can be opened by one who lets no one else in: no one has it open.
bool OpensAlone(const std::string& path)
{
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    ::CloseHandle(h);
    return true;
}

// A file whose name the ANSI code page cannot spell (U+0100, in neither 936 nor 1252),
// holding "AB" at 2, beside the file the system's best fit would take its name for,
// which does not hold it.
struct UnspellableBesideLookAlike {
    explicit UnspellableBesideLookAlike(const std::string& folder) : path(Wide(folder) + L"\\\u0100.bin")
    {
        WriteFileBytes(path, BytesOf("xxAB"));
        char fitted[MAX_PATH] = {};
        ::WideCharToMultiByte(CP_ACP, 0, L"\u0100.bin", -1, fitted, MAX_PATH, nullptr, nullptr);
        // "A.bin" on 1252. On 936 it is "\u0101.bin", which names the same file to a
        // file system that ignores case.
        if (!std::strchr(fitted, '?') && !FileExists(folder + "\\" + fitted)) {
            lookAlike = folder + "\\" + fitted;
            WriteFileBytes(lookAlike, BytesOf("none"));
        }
    }
    // The 8-bit name that stands for it: its short name (Wine makes one for every file).
    std::string ShortName() const
    {
        WIN32_FIND_DATAW found;
        HANDLE find = ::FindFirstFileW(path.c_str(), &found);
        ::FindClose(find);
        char name[MAX_PATH] = {};
        ::WideCharToMultiByte(CP_ACP, 0, found.cAlternateFileName, -1, name, MAX_PATH, nullptr, nullptr);
        return name;
    }
    // Replaced "AB" by "YZ" there, and the look-alike untouched.
    void ExpectPatched() const
    {
        EXPECT_EQ(ReadFileBytes(path), BytesOf("xxYZ"));
        if (!lookAlike.empty()) {
            EXPECT_EQ(ReadFileBytes(lookAlike), BytesOf("none"));
        }
    }

    std::wstring path;
    std::string lookAlike;
};

TEST_F(ScanRunTest, FoundWithoutReplacementIsReportedOnly)
{
    const std::string file = dir.File("s.bin", kSample);
    SetText(IDC_PATH, file);
    Patterns("41 42 43", "");
    Start();
    ASSERT_EQ(Boxes().size(), 1u);
    ExpectBox(0, Found(file, L"0x00000010"), MB_ICONQUESTION, kOk);
    EXPECT_EQ(ReadFileBytes(file), kSample);
}

TEST_F(ScanRunTest, ConfirmedReplacementOverwritesOnlyThoseBytes)
{
    const std::string file = dir.File("s.bin", kSample);
    SetText(IDC_PATH, file);
    Patterns("41 42 43", "58 59 5A");
    Start({IDYES, IDNO});
    ASSERT_EQ(Boxes().size(), 2u);
    ExpectBox(0, Ask(file, L"0x00000010"), MB_ICONQUESTION, kYesNo);
    ExpectBox(1, kContinue, MB_ICONQUESTION, kYesNo);
    EXPECT_EQ(ReadFileBytes(file), BytesOf("0123456789abcdefXYZdefghijABC"));
}

TEST_F(ScanRunTest, NotFoundMissingAndEmptyFilesAreReported)
{
    const std::string plain = dir.File("plain.bin", BytesOf("nothing here"));
    const std::string empty = dir.File("empty.bin", {});
    Patterns("41 42", "");

    SetText(IDC_PATH, plain);
    Start();
    SetText(IDC_PATH, dir / "missing.bin");
    Start();
    SetText(IDC_PATH, empty);
    Start();
    // A folder named while directory mode is off cannot be opened as a file.
    SetText(IDC_PATH, dir.path());
    Start();

    ASSERT_EQ(Boxes().size(), 4u) << Said();
    ExpectBox(0, kNotFound, MB_ICONINFORMATION, kOk);
    ExpectBox(1, kOpenFailed, MB_ICONEXCLAMATION, kOk);
    ExpectBox(2, kNotFound, MB_ICONINFORMATION, kOk);
    ExpectBox(3, kOpenFailed, MB_ICONEXCLAMATION, kOk);
}

TEST_F(ScanRunTest, OccurrenceAtTheEndIsReplacedAndALongerReplacementExtendsTheFile)
{
    const std::string file = dir.File("s.bin", BytesOf("xxxxAB"));
    SetText(IDC_PATH, file);
    Patterns("41 42", "31 32 33 34");
    Start({IDYES, IDNO});
    ExpectBox(0, Ask(file, L"0x00000004"), MB_ICONQUESTION, kYesNo);
    EXPECT_EQ(ReadFileBytes(file), BytesOf("xxxx1234"));
}

TEST_F(ScanRunTest, ShorterReplacementLeavesTheTailOfTheOccurrence)
{
    const std::string file = dir.File("s.bin", BytesOf("-ABC-"));
    SetText(IDC_PATH, file);
    Patterns("41 42 43", "7A");
    Start({IDYES, IDNO});
    EXPECT_EQ(ReadFileBytes(file), BytesOf("-zBC-"));
}

// A view that decodes to no bytes holds no pattern: a lone find digit is as an empty
// find view (Start does nothing, for one file or a tree), a lone replace digit as an
// empty replace view (the find reported, nothing asked, written or claimed).
TEST_F(ScanRunTest, LoneDigitsDecodeToNoBytes)
{
    const std::string file = dir.File("tree\\s.bin", BytesOf("ABCD"));
    SetChecked(IDC_ASK, false);
    Patterns("4", "31 32");
    for (bool walk : {false, true}) {
        SetChecked(IDC_OPEN_DIR, walk);
        SetText(IDC_PATH, walk ? dir / "tree" : file);
        Start({IDYES, IDYES});
        EXPECT_TRUE(Boxes().empty()) << Said();
    }
    EXPECT_EQ(ReadFileBytes(file), BytesOf("ABCD"));

    SetChecked(IDC_OPEN_DIR, false);
    SetChecked(IDC_ASK, true);
    SetText(IDC_PATH, file);
    Patterns("42 43", "7");
    Start({IDYES, IDYES});
    ASSERT_EQ(Boxes().size(), 1u) << Said();
    ExpectBox(0, Found(file, L"0x00000001"), MB_ICONQUESTION, kOk);
    EXPECT_EQ(ReadFileBytes(file), BytesOf("ABCD"));
}

TEST_F(ScanRunTest, OnlyTheFirst86BytesOfALongPatternCount)
{
    Bytes content(86, 'Q');
    content.push_back('!');  // the 87th pattern byte below does not match
    const std::string file = dir.File("s.bin", content);
    std::string hex;
    for (int i = 0; i < 100; ++i)
        hex += i ? " 51" : "51";
    SetText(IDC_PATH, file);
    SetText(IDC_FIND_HEX, hex);
    Start();
    ASSERT_EQ(Boxes().size(), 1u);
    ExpectBox(0, Found(file, L"0x00000000"), MB_ICONQUESTION, kOk);
}

TEST_F(ScanRunTest, EmptyFindPatternDoesNothing)
{
    const std::string file = dir.File("s.bin", kSample);
    SetText(IDC_PATH, file);
    Patterns("", "58");
    Start();
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(ReadFileBytes(file), kSample);
}

TEST_F(ScanRunTest, WriteThatCannotOpenTheFileIsReportedAndChangesNothing)
{
    const std::string file = dir.File("s.bin", kSample);
    // Another program holds the file and lets others only read it.
    HANDLE holder = ::CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    SetText(IDC_PATH, file);
    Patterns("41 42 43", "58 59 5A");
    Start({IDYES, IDOK});
    ::CloseHandle(holder);
    ASSERT_EQ(Boxes().size(), 2u);
    ExpectBox(1, kWriteFailed, MB_ICONEXCLAMATION, kOk);
    EXPECT_EQ(ReadFileBytes(file), kSample);
}

TEST_F(ScanRunTest, WriteThatRunsOutOfDiskSpaceIsReportedAndTheFileKeepsItsBytes)
{
    // A file on a full disk: the replacement runs past its end and needs space.
    const std::string file = "C:\\bytewren-fixtures\\full-disk\\end.bin";
    if (!FileExists(file))
        GTEST_SKIP() << "needs the full-disk fixture of the test run (mounting needs root)";
    const Bytes before = ReadFileBytes(file);
    SetText(IDC_PATH, file);
    Patterns("41 42", "31 32 33 34 35 36 37 38 39 30");
    Start({IDYES, IDOK});
    ASSERT_EQ(Boxes().size(), 2u);
    ExpectBox(0, Ask(file, L"0x00000FFE"), MB_ICONQUESTION, kYesNo);
    ExpectBox(1, kWriteFailed, MB_ICONEXCLAMATION, kOk);
    EXPECT_EQ(ReadFileBytes(file), before);
}

TEST_F(ScanRunTest, TypedNameTheCodePageCannotSpellIsSearchedNeverItsLookAlike)
{
    const UnspellableBesideLookAlike files(dir.path());
    SetTextW(IDC_PATH, files.path);
    Patterns("41 42", "59 5A");
    Start({IDYES, IDNO});
    ASSERT_EQ(Boxes().size(), 2u) << Said();
    wchar_t shortPath[MAX_PATH] = {};
    ::GetShortPathNameW(files.path.c_str(), shortPath, MAX_PATH);
    char expected[MAX_PATH] = {};
    ::WideCharToMultiByte(CP_ACP, 0, shortPath, -1, expected, MAX_PATH, nullptr, nullptr);
    ExpectBox(0, Ask(expected, L"0x00000002"), MB_ICONQUESTION, kYesNo);
    files.ExpectPatched();
}

// --- Directory walks ---

// A folder's listing gives every entry but "." and "..", once each, named under the
// folder and marked as a folder or not; where the system fails to list more, it ends
// with the entries before. Either way the listing's handle is closed where it ends, not
// when the walk comes back out of the folder's sub-folders.
TEST(FolderListing, EveryEntryButTheDotsAndItsHandleClosedWhereItEnds)
{
    faults::Install();
    TempDir dir;
    dir.File("a.bin", BytesOf("a"));
    dir.File("b.bin", BytesOf("b"));
    dir.Dir("sub");
    const std::string spec = dir / "*.*";
    CFileFind finder;
    CFileFind::Entry entry;
    std::vector<std::pair<std::string, bool>> listed;
    const int handles = HandleCount();
    ASSERT_TRUE(finder.FindFile(spec.c_str()));
    ASSERT_GT(HandleCount(), handles) << "setup: the listing holds a handle while it lasts";
    while (finder.Next(entry))
        listed.emplace_back(entry.path, entry.folder);
    EXPECT_EQ(HandleCount(), handles) << "the listing's handle closed where it ended";
    EXPECT_FALSE(finder.Next(entry)) << "a listing that ended stays ended";
    std::vector<std::pair<std::string, bool>> sorted = listed;
    std::sort(sorted.begin(), sorted.end());
    const std::vector<std::pair<std::string, bool>> expected{{dir / "a.bin", false}, {dir / "b.bin", false}, {dir / "sub", true}};
    EXPECT_EQ(sorted, expected);

    // The second FindNextFileW fails: at most the first two names the system gave.
    faults::Arm(Fault::FindNextFileW, 2);
    ASSERT_TRUE(finder.FindFile(spec.c_str()));
    std::vector<std::pair<std::string, bool>> cut;
    while (finder.Next(entry))
        cut.emplace_back(entry.path, entry.folder);
    const int calls = faults::Calls();
    faults::Disarm();
    EXPECT_EQ(calls, 2) << "no FindNextFileW after the one that failed";
    EXPECT_EQ(HandleCount(), handles) << "the listing's handle closed where it failed";
    ASSERT_LE(cut.size(), 2u);
    EXPECT_TRUE(std::equal(cut.begin(), cut.end(), listed.begin())) << "the entries before the failure, in order";
}

class WalkTest : public ScanRunTest {
protected:
    void SetUp() override
    {
        ScanRunTest::SetUp();
        SetChecked(IDC_OPEN_DIR, true);
    }
};

TEST_F(WalkTest, ReportsOnlyFilesWithThePatternDepthFirst)
{
    const Bytes hit = BytesOf("..AB..");
    const std::string a = dir.File("tree\\a.bin", hit);
    const std::string h = dir.File("tree\\h.bin", hit);
    ::SetFileAttributesA(h.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    dir.File("tree\\sub\\b.bin", BytesOf("miss"));
    const std::string c = dir.File("tree\\sub\\deeper\\c.bin", hit);
    dir.File("tree\\sub\\empty.bin", {});
    dir.Dir("tree\\sub\\nothing");
    const std::string z = dir.File("tree\\z.bin", BytesOf("AB"));

    SetText(IDC_PATH, dir / "tree");
    Patterns("41 42", "");
    Start();
    ASSERT_EQ(Boxes().size(), 4u) << Said();
    ExpectBox(0, Found(a, L"0x00000002"), MB_ICONQUESTION, kOk);
    ExpectBox(1, Found(h, L"0x00000002"), MB_ICONQUESTION, kOk);
    ExpectBox(2, Found(c, L"0x00000002"), MB_ICONQUESTION, kOk);
    ExpectBox(3, Found(z, L"0x00000000"), MB_ICONQUESTION, kOk);
}

TEST_F(WalkTest, NameTheCodePageCannotSpellIsSearchedNeverItsLookAlike)
{
    const std::string tree = dir.Dir("tree");
    const UnspellableBesideLookAlike files(tree);
    SetText(IDC_PATH, tree);
    Patterns("41 42", "59 5A");
    Start({IDYES, IDNO});
    ASSERT_EQ(Boxes().size(), 2u) << Said();
    ExpectBox(0, Ask(tree + "\\" + files.ShortName(), L"0x00000002"), MB_ICONQUESTION, kYesNo);
    files.ExpectPatched();
}

TEST_F(WalkTest, TrailingBackslashIsNotDoubled)
{
    dir.File("tree\\a.bin", BytesOf("AB"));
    SetText(IDC_PATH, dir / "tree\\");
    Patterns("41 42", "");
    Start();
    ASSERT_EQ(Boxes().size(), 1u);
    ExpectBox(0, Found(dir / "tree\\a.bin", L"0x00000000"), MB_ICONQUESTION, kOk);
}

TEST_F(WalkTest, PathThatIsNoDirectoryEndsSilently)
{
    const std::string file = dir.File("s.bin", BytesOf("AB"));
    SetText(IDC_PATH, file);
    Patterns("41 42", "");
    Start();
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(WalkTest, FailedWriteIsReportedAndTheWalkGoesOn)
{
    const std::string a = dir.File("tree\\a.bin", BytesOf("AB"));
    const std::string b = dir.File("tree\\b.bin", BytesOf("AB"));
    HANDLE holder = ::CreateFileA(a.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    SetText(IDC_PATH, dir / "tree");
    Patterns("41 42", "78 79");
    Start({IDYES, IDOK, IDYES, IDNO});
    ::CloseHandle(holder);
    ASSERT_EQ(Boxes().size(), 4u) << Said();
    ExpectBox(0, Ask(a, L"0x00000000"), MB_ICONQUESTION, kYesNo);
    ExpectBox(1, kWriteFailed, MB_ICONEXCLAMATION, kOk);
    ExpectBox(2, Ask(b, L"0x00000000"), MB_ICONQUESTION, kYesNo);
    ExpectBox(3, kContinue, MB_ICONQUESTION, kYesNo);
    EXPECT_EQ(ReadFileBytes(a), BytesOf("AB"));
    EXPECT_EQ(ReadFileBytes(b), BytesOf("xy"));
}

TEST_F(WalkTest, LinkBackIntoTheTreeIsWalkedOnce)
{
    // Wine makes no symbolic links itself; the test run makes this tree on the host:
    // linked-tree\sub\loop leads back to linked-tree, linked-tree\sub\ext to a
    // folder outside the tree, which is walked like any folder.
    const std::string tree = "C:\\bytewren-fixtures\\linked-tree";
    ASSERT_TRUE(FileExists(tree + "\\sub\\loop\\a.bin")) << "fixtures missing: run through the test script";

    SetText(IDC_PATH, tree);
    Patterns("41 42", "");
    Start();
    ASSERT_EQ(Boxes().size(), 2u);
    ExpectBox(0, Found(tree + "\\a.bin", L"0x00000000"), MB_ICONQUESTION, kOk);
    ExpectBox(1, Found(tree + "\\sub\\ext\\o.bin", L"0x00000000"), MB_ICONQUESTION, kOk);
}

// A walk of hundreds of files, more than are searched ahead of the dialogue, with
// matches, empty files, a file no one else may open, a link back into the tree and the
// same file reached twice: the boxes are those of a walk that searches each file when
// it reaches it, and no thread of the walk is left when Start returns.
TEST_F(WalkTest, SearchingAheadReportsWhatAWalkFileByFileWould)
{
    // Wine makes no symbolic links itself: the test run makes walk-tree\loop, which
    // leads back to walk-tree.
    const std::string root = "C:\\bytewren-fixtures\\walk-tree";
    ASSERT_TRUE(FileExists(root + "\\loop")) << "fixtures missing: run through the test script";
    const std::string top = root + "\\t" + std::to_string(::GetCurrentProcessId());
    struct Remove {
        std::string path;
        ~Remove() { RemoveTree(path); }
    } removeAfter{top};

    std::vector<std::wstring> expected;
    HANDLE held = INVALID_HANDLE_VALUE;
    for (int d = 0; d < 3; ++d) {
        for (int i = 0; i < 120; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "\\d%d\\f%03d.bin", d, i);
            const std::string path = top + name;
            ::CreateDirectoryA(top.c_str(), nullptr);
            ::CreateDirectoryA((top + "\\d" + std::to_string(d)).c_str(), nullptr);
            const int kind = i % 10;
            Bytes content = BytesOf(kind == 5 ? "" : "....................");
            if (kind == 3) {
                const int at = (d * 120 + i) % 17;
                content[at] = 'A';
                content[at + 1] = 'B';
                wchar_t offset[16];
                std::swprintf(offset, 16, L"0x%08X", at);
                expected.push_back(Ask(path, offset));
                expected.push_back(kContinue);
            }
            WriteFileBytes(path, content);
            if (d == 0 && i == 13) {
                // The same file again, listed right after it: patched by then.
                ASSERT_TRUE(::CreateHardLinkA((top + "\\d0\\f013x.bin").c_str(), path.c_str(), nullptr));
            }
            if (d == 1 && i == 53) {
                // Held by another program that lets no one else open it: skipped.
                held = ::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
                expected.resize(expected.size() - 2);
            }
        }
    }
    ASSERT_NE(held, INVALID_HANDLE_VALUE);

    SetText(IDC_PATH, root);
    Patterns("41 42", "59 5A");
    const int threads = ThreadCount();
    std::vector<int> answers;
    for (size_t i = 0; i < expected.size(); i += 2)
        answers.insert(answers.end(), {IDYES, IDNO});
    Start(answers);
    EXPECT_EQ(ThreadCount(), threads) << "a thread of the walk outlived Start";
    ::CloseHandle(held);

    ASSERT_EQ(Boxes().size(), expected.size()) << Said();
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(Boxes()[i].text, expected[i]) << i;
    EXPECT_EQ(ReadFileBytes(top + "\\d0\\f013x.bin")[13 % 17], 'Y');

    // A later walk takes the threads the first left waiting and starts none; once those
    // are ended, the next starts its own again.
    Patterns("51 52", "");
    faults::Arm(Fault::ThreadCreation, 1 << 30);
    Start();
    EXPECT_EQ(faults::Calls(), 0) << "threads started afresh for a later walk";
    CThread::EndIdleThreads();
    Start();
    EXPECT_GT(faults::Calls(), 0) << "no thread started once the idle ones were ended";
    faults::Disarm();
    EXPECT_EQ(Boxes().size(), expected.size()) << "the later walks found something: " << Said();
    EXPECT_EQ(ThreadCount(), threads) << "a thread of a later walk outlived Start";
}

// During a run nothing reaches the dialog but what stops it and the run's own boxes: a
// drop (a shortcut whose target is gone, which the shell might go looking for) is let
// go with nothing changed, a help request shows nothing; a close asked for while a
// question is up ends the run right after it, the answer given honoured for that file.
TEST_F(WalkTest, NothingButTheRunsOwnBoxesDuringARun)
{
    const std::string a = dir.File("tree\\a.bin", BytesOf("xxAB"));
    const std::string b = dir.File("tree\\b.bin", BytesOf("xxAB"));
    const std::string shortcut = dir / "gone.lnk";
    ASSERT_TRUE(MakeShortcut(shortcut, dir / "gone.bin"));
    SetText(IDC_PATH, dir / "tree");
    Patterns("41 42", "59 5A");
    // Sent while the search of a.bin holds the run up: the dialog takes them as it looks
    // at its queue, the run on by construction.
    bool sent = false, released = false, running = false;
    std::string pathAfterDrop;
    faults::OnCreateFileA([&](const char* path, DWORD access) {
        if (a != path || (access & GENERIC_WRITE) || sent)
            return;
        sent = true;
        const HDROP drop = MakeDrop({shortcut}, false);
        ::SendMessageW(hwnd(), WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
        released = ::GlobalFlags(drop) == GMEM_INVALID_HANDLE;
        HELPINFO info{};
        info.cbSize = sizeof info;
        ::SendMessageW(hwnd(), WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
        running = m_dlg.IsRunning();
        pathAfterDrop = Text(IDC_PATH);
    });
    answerer()->SetOnShow([&](const ShownBox&) { ::SendMessageW(hwnd(), WM_CLOSE, 0, 0); });
    const HWND window = hwnd();
    Start({IDYES, IDYES});
    faults::OnCreateFileA(nullptr);
    ASSERT_TRUE(sent && running) << "setup: the drop and the help request came outside the run";
    EXPECT_TRUE(released) << "the drop was not let go";
    EXPECT_EQ(pathAfterDrop, dir / "tree");
    ASSERT_EQ(Boxes().size(), 1u) << Said();
    EXPECT_EQ(Boxes()[0].text, Ask(a, L"0x00000002"));
    EXPECT_EQ(ReadFileBytes(a), BytesOf("xxYZ"));
    EXPECT_EQ(ReadFileBytes(b), BytesOf("xxAB"));
    EXPECT_FALSE(::IsWindow(window)) << "the close asked for did not end the dialog";
}

TEST_F(WalkTest, FileChangedAfterItWasSearchedAheadIsWrittenWhereThePatternIsNow)
{
    // The walk is held up by a slow first file while b.bin is searched ahead; then
    // another program inserts two bytes before b.bin's pattern. Without a question the
    // write comes at once: it must land where the pattern is now.
    const std::string slow = dir.File("tree\\a.slow", BytesOf("nothing"));
    const std::string b = dir.File("tree\\b.bin", BytesOf("..AB.."));
    std::atomic<bool> bSearched{false};
    faults::OnCreateFileA([&](const char* path, DWORD) {
        const std::string opened = path;
        if (opened == b) {
            bSearched = true;
        } else if (opened == slow) {
            for (int i = 0; i < 1000 && !bSearched; ++i)
                ::Sleep(10);
            // Until b.bin has been read and closed: then no one else has it open.
            for (int i = 0; i < 1000 && !OpensAlone(b); ++i)
                ::Sleep(10);
            WriteFileBytes(b, BytesOf("xx..AB.."));
        }
    });
    SetChecked(IDC_ASK, false);
    SetText(IDC_PATH, dir / "tree");
    Patterns("41 42", "59 5A");
    Start({IDNO});
    faults::OnCreateFileA(nullptr);
    EXPECT_TRUE(bSearched);
    ASSERT_EQ(Boxes().size(), 1u) << Said();
    ExpectBox(0, kContinue, MB_ICONQUESTION, kYesNo);
    EXPECT_EQ(ReadFileBytes(b), BytesOf("xx..YZ.."));
}

// A slow first file holds up the walk while the files behind it come in one after
// another, each sooner than the dialog's wait would time out: the dialog still pumps
// its messages on its clock, which another program sees in how soon what it sends is
// answered.
TEST_F(WalkTest, MessagesArePumpedWhileASlowFileHoldsUpTheWalk)
{
    const std::string slow = dir.File("tree\\a.slow", BytesOf("nothing"));
    for (int i = 0; i < 30; ++i)
        dir.File("tree\\f" + std::to_string(100 + i) + ".bin", BytesOf("nothing either"));
    faults::OnCreateFileA([&](const char* path, DWORD) {
        const std::string opened = path;
        if (opened == slow)
            ::Sleep(1500);
        else if (opened.size() > 4 && opened.compare(opened.size() - 4, 4, ".bin") == 0)
            ::Sleep(40);
    });
    SetText(IDC_PATH, dir / "tree");
    Patterns("41 42", "");
    std::atomic<bool> done{false}, ended{false};
    DWORD slowest = 0;
    int during = 0;  // answers measured while the run was on
    std::thread other([&] {
        while (!done) {
            const bool on = m_dlg.IsRunning();
            const DWORD before = ::GetTickCount();
            DWORD_PTR result = 0;
            ::SendMessageTimeoutW(hwnd(), WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result);
            if (on && m_dlg.IsRunning()) {
                slowest = std::max(slowest, ::GetTickCount() - before);
                ++during;
            }
            ::Sleep(10);
        }
        ended = true;
    });
    Start();
    done = true;
    Pump(6000, [&] { return ended.load(); });
    other.join();
    faults::OnCreateFileA(nullptr);
    EXPECT_TRUE(Boxes().empty()) << Said();
    // The slow file alone holds the run 1.5 s: answers were measured all through it.
    ASSERT_GE(during, 5) << "setup: too few answers measured during the run";
    // The clock is 100 ms; a pump may wait out a 50 ms slice and the 40 ms of a file
    // held in its open: 250 ms, and 100 ms more for a loaded machine.
    EXPECT_LE(slowest, 250u + 100u) << "ms between two pumps of the messages";
}

// While a question is up, the searches already running on later files stop and close
// what they opened: a big file behind can be renamed meanwhile, and is not read on to
// its end for nothing.
TEST_F(WalkTest, LaterBigFileCanBeRenamedWhileAQuestionIsUp)
{
    faults::Install();
    dir.File("tree\\a.bin", BytesOf("AB"));
    const std::string big = dir / "tree\\b.big";
    ASSERT_TRUE(::CreateHardLinkA(big.c_str(), SharedLargeFile().c_str(), nullptr));
    const std::string renamed = dir / "tree\\c.big";
    bool closed = false, moved = false;
    faults::WatchFile(big);
    // a.bin's question comes once b.big is being read.
    const std::string first = dir / "tree\\a.bin";
    bool inProgress = false;
    int readBefore = 0, readMeanwhile = 0;
    faults::OnCreateFileA([&](const char* path, DWORD) {
        if (first != path)
            return;
        for (int i = 0; i < 1000 && faults::WatchedReads() == 0; ++i)
            ::Sleep(10);
        inProgress = faults::WatchedReads() > 0;
        // From here until the question is up, b.big's search reads no further piece,
        // however fast this machine reads.
        faults::HoldWatchedReads(true);
        readBefore = faults::WatchedReads();
    });
    answerer()->SetOnShow([&](const ShownBox&) {
        faults::HoldWatchedReads(false);
        for (int i = 0; i < 1000 && !closed; ++i) {
            closed = faults::WatchedHandles() == 0;
            ::Sleep(10);
        }
        readMeanwhile = faults::WatchedReads() - readBefore;
        moved = ::MoveFileA(big.c_str(), renamed.c_str()) != FALSE;
    });
    SetText(IDC_PATH, dir / "tree");
    Patterns("41 42", "59 5A");
    Start({IDNO});
    faults::OnCreateFileA(nullptr);
    faults::HoldWatchedReads(false);
    faults::WatchFile("");
    ASSERT_TRUE(inProgress) << "setup: b.big was not being read when a.bin was";
    EXPECT_TRUE(closed) << "b.big is still open while the question is up";
    // Stopped within a piece or two of where it was held (the search's and the helper's),
    // not read on to its end (2,560 pieces).
    EXPECT_LE(readMeanwhile, 3);
    EXPECT_TRUE(moved) << "error " << ::GetLastError();
    ASSERT_GE(Boxes().size(), 1u);
    ExpectBox(0, Ask(dir / "tree\\a.bin", L"0x00000000"), MB_ICONQUESTION, kYesNo);
}

TEST_F(WalkTest, FileNamedOutsideTheCodePageIsStillSearchedAndPatched)
{
    // Thai is in neither code page 936 nor 1252: the 8-bit name of this file has '?'
    // in it, so the walk reaches the file through its short name.
    dir.Dir("tree");
    const std::wstring wide = Wide(dir / "tree") + L"\\\u0E01\u0E02.bin";
    HANDLE h = ::CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD put;
    ::WriteFile(h, "xAB", 3, &put, nullptr);
    ::CloseHandle(h);

    SetText(IDC_PATH, dir / "tree");
    Patterns("41 42", "79 7A");
    Start({IDYES, IDNO});
    ASSERT_EQ(Boxes().size(), 2u);
    EXPECT_EQ(Boxes()[0].text.find(L'?'), std::wstring::npos) << "names a file that does not exist";
    EXPECT_NE(Boxes()[0].text.find(L"0x00000001"), std::wstring::npos);
    ExpectBox(1, kContinue, MB_ICONQUESTION, kYesNo);

    h = ::CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    char back[4] = {};
    ::ReadFile(h, back, 3, &put, nullptr);
    ::CloseHandle(h);
    EXPECT_STREQ(back, "xyz");
}

TEST_F(WalkTest, FolderNameEndingInADoubleByteCharacterWithTrailByte5C)
{
    if (::GetACP() != 936)
        GTEST_SKIP() << "needs code page 936";
    // 乗 is 0x81 0x5C in code page 936: the path's last byte is a backslash byte,
    // but its last character is not a backslash.
    const std::wstring folder = Wide(dir.path()) + L"\\目录乗";
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    const std::wstring file = folder + L"\\a.bin";
    HANDLE h = ::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD put;
    ::WriteFile(h, "AB", 2, &put, nullptr);
    ::CloseHandle(h);

    SetTextW(IDC_PATH, folder);
    Patterns("41 42", "");
    Start();
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].text, L"文件\"" + file + L"\"\n找到关键位置：0x00000000。");
}

}  // namespace
