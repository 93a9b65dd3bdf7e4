// Paths dropped onto the dialog, built as the shell hands them over, and shortcuts read
// through the shell's link object. The command line is tested on the real program.
#include "target/shortcut.h"
#include "tests/wine/support/dialog_fixture.h"
#include "tests/wine/support/shortcuts.h"
#include "tests/wine/support/test_files.h"
#include "tests/wine/support/user_input.h"

#include <objbase.h>
#include <shlobj.h>

#include <cstring>

namespace {

// A name in the ANSI code page's own letters beyond ASCII, so the drop's text is converted.
std::string NonAsciiName()
{
    return ::GetACP() == 936 ? "\xCA\xFD\xBE\xDD.bin" /* 数据 */ : "donn\xE9" "es.bin";
}

class TargetPathTest : public DialogTest {
protected:
    // Drops paths onto the dialog; true when the handler released the drop.
    bool Drop(const std::vector<std::string>& paths, bool wide = false)
    {
        HDROP drop = MakeDrop(paths, wide);
        ::SendMessageW(hwnd(), WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
        return ::GlobalFlags(drop) == GMEM_INVALID_HANDLE;
    }
    // Expects the path field and directory mode to be as given.
    void Expect(const std::string& path, bool directoryMode, const char* what)
    {
        EXPECT_EQ(Text(IDC_PATH), path) << what;
        EXPECT_EQ(Checked(IDC_OPEN_DIR), directoryMode) << what;
    }
    TempDir dir;
};

TEST_F(TargetPathTest, DropTakesTheFirstItemAndSetsDirectoryModeByItsKind)
{
    const std::string file = dir.File(NonAsciiName(), BytesOf("x"));
    const std::string folder = dir.Dir("tree");
    for (bool wide : {false, true}) {
        EXPECT_TRUE(Drop({folder, file}, wide));
        Expect(folder, true, wide ? "folder, UTF-16 list" : "folder, ANSI list");
        EXPECT_TRUE(Drop({file, folder, dir / "other.bin"}, wide));
        Expect(file, false, wide ? "file, UTF-16 list" : "file, ANSI list");
    }
}

TEST_F(TargetPathTest, DropsThatNameNoTargetChangeNothing)
{
    const std::string longName = dir / std::string(300 - dir.path().size(), 'n');
    for (bool checked : {false, true}) {
        SetText(IDC_PATH, "C:\\kept");
        SetChecked(IDC_OPEN_DIR, checked);
        EXPECT_TRUE(Drop({}));
        Expect("C:\\kept", checked, "nothing dropped");
        EXPECT_TRUE(Drop({dir / "missing.bin"}));
        Expect("C:\\kept", checked, "missing path");
        EXPECT_TRUE(Drop({longName}, true));
        Expect("C:\\kept", checked, "over-long path");
    }
}

// A dropped path longer than the 259 characters its buffer holds is refused, not cut
// short: cut, it would name another file. (Given on the command line, such a path is
// refused too; the system's 8-bit file functions cannot reach it, so that goes untested.)
TEST_F(TargetPathTest, OverLongDropIsRefusedRatherThanCut)
{
    // A 260-character shortcut, and a file named by its first 259 characters.
    const std::string folder = dir.Dir("deep");
    const std::string link = folder + "\\" + std::string(260 - folder.size() - 1 - 4, 'f') + ".lnk";
    ASSERT_TRUE(MakeShortcut(link, dir.File("target.bin", BytesOf("x"))));
    const std::string cut = link.substr(0, 259);
    WriteFileBytes(cut, BytesOf("x"));
    ASSERT_TRUE(FileExists(link));
    ASSERT_TRUE(FileExists(cut));
    for (bool wide : {false, true}) {
        SetText(IDC_PATH, "");
        EXPECT_TRUE(Drop({link}, wide));
        Expect("", false, "260 characters");
        EXPECT_TRUE(Drop({cut}, wide));
        Expect(cut, false, "259 characters");
    }
}

TEST_F(TargetPathTest, DroppedShortcutStandsForItsTarget)
{
    const std::string file = dir.File("tool.exe", BytesOf("MZ"));
    const std::string folder = dir.Dir("tree");
    ASSERT_TRUE(MakeShortcut(dir / "Setup.LNK", file));
    ASSERT_TRUE(MakeShortcut(dir / "tree.lnk", folder));

    SetChecked(IDC_OPEN_DIR, true);
    EXPECT_TRUE(Drop({dir / "Setup.LNK"}));
    Expect(file, false, "shortcut to a file, named in upper case");
    SetChecked(IDC_OPEN_DIR, true);
    EXPECT_TRUE(Drop({dir / "tree.lnk"}, true));
    Expect(folder, false, "shortcut to a folder: directory mode follows the shortcut file");
}

TEST_F(TargetPathTest, ShortcutTargetIsShownAsStored)
{
    const std::string file = dir.File("a.bin", BytesOf("x"));
    ASSERT_TRUE(MakeShortcut(dir / "gone.lnk", dir / "gone.bin"));
    WriteRawShortcut(dir / "env.lnk", "%TEMP%\\x");
    ASSERT_TRUE(MakeShortcut(dir / "inner.lnk", file));
    ASSERT_TRUE(MakeShortcut(dir / "outer.lnk", dir / "inner.lnk"));

    // Under Wine, resolving a shortcut whose target is gone succeeds without a search
    // (Windows would look for the target, with its own window owned by the dialog).
    EXPECT_TRUE(Drop({dir / "gone.lnk"}));
    Expect(dir / "gone.bin", false, "target that does not exist");
    EXPECT_TRUE(Drop({dir / "env.lnk"}));
    Expect("%TEMP%\\x", false, "environment reference stays unexpanded");
    EXPECT_TRUE(Drop({dir / "outer.lnk"}));
    Expect(dir / "inner.lnk", false, "a target that is a shortcut is not resolved again");
}

TEST_F(TargetPathTest, OnlyTheTextFromTheLastDotNamesAShortcut)
{
    const std::string target = dir.File("a.bin", BytesOf("x"));
    ASSERT_TRUE(MakeShortcut(dir / "real.lnk", target));
    const Bytes link = ReadFileBytes(dir / "real.lnk");
    // Each holds a working shortcut, but none is named as one.
    const std::string inFolder = dir.File("dir.lnk\\file", link);
    const std::string noDot = dir.File("nodot", link);
    const std::string later = dir.File("real.lnk.bak", link);
    const std::string folder = dir.Dir("x.lnk");

    EXPECT_TRUE(Drop({inFolder}));
    Expect(inFolder, false, "C:\\...\\dir.lnk\\file");
    EXPECT_TRUE(Drop({noDot}));
    Expect(noDot, false, "no dot at all");
    EXPECT_TRUE(Drop({later}));
    Expect(later, false, ".lnk.bak");
    EXPECT_TRUE(Drop({folder}));
    Expect(folder, true, "folder named x.lnk");
}

TEST_F(TargetPathTest, ShortcutThatCannotBeReadEmptiesThePath)
{
    const std::string bad = dir.File("bad.lnk", BytesOf("not a shortcut"));
    SetText(IDC_PATH, "C:\\kept");
    SetChecked(IDC_OPEN_DIR, true);
    EXPECT_TRUE(Drop({bad}));
    Expect("", false, "unreadable shortcut");
}

// The shortcut is read whatever COM state the thread is in, and that state is as it was
// afterwards: a call that finds COM set up in another mode must not end it.
TEST(ResolveShortcut, LeavesTheThreadsComStateAsItFoundIt)
{
    TempDir dir;
    const std::string file = dir.File("a.bin", BytesOf("x"));
    ASSERT_TRUE(MakeShortcut(dir / "a.lnk", file));
    char out[1024];

    // Not set up: not set up afterwards either (a single-threaded set-up left over
    // would refuse the multi-threaded one).
    ASSERT_EQ(::CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK) << "COM was set up before the test";
    ::CoUninitialize();
    EXPECT_EQ(ResolveShortcut(nullptr, (dir / "a.lnk").c_str(), out), S_OK);
    EXPECT_STREQ(out, file.c_str());
    EXPECT_EQ(::CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    ::CoUninitialize();

    // Single-threaded already: the call's own set-up is balanced.
    ASSERT_EQ(::CoInitialize(nullptr), S_OK);
    EXPECT_EQ(ResolveShortcut(nullptr, (dir / "a.lnk").c_str(), out), S_OK);
    EXPECT_STREQ(out, file.c_str());
    ::CoUninitialize();
    EXPECT_EQ(::CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK) << "a set-up was left behind";
    ::CoUninitialize();

    // Multi-threaded already: the call's set-up fails, and it must not end the caller's.
    ASSERT_EQ(::CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    EXPECT_EQ(ResolveShortcut(nullptr, (dir / "a.lnk").c_str(), out), S_OK);
    EXPECT_STREQ(out, file.c_str());
    EXPECT_EQ(::CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE) << "the caller's set-up was ended";
    ::CoUninitialize();
    ::CoUninitialize();
}

}  // namespace
