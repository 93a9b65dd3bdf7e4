// The browse dialogs: the system's file-open dialog and folder browser, opened by Browse
// and by Start with too short a path, found as windows and driven as a user would.
#include "tests/wine/support/dialog_fixture.h"
#include "tests/wine/support/owned_dialog.h"
#include "tests/wine/support/shortcuts.h"
#include "tests/wine/support/test_files.h"

#include <commctrl.h>
#include <dlgs.h>

namespace {

// What a user sees in the file-open dialog.
struct FileDialogView {
    bool shown = false;
    std::wstring fileName;   // the name box
    std::wstring fileType;   // the file-type box
    std::vector<std::wstring> listed;
    bool readOnlyBox = false;
};

FileDialogView ReadFileDialog(HWND dialog)
{
    FileDialogView view;
    view.shown = ::GetDlgItem(dialog, cmb13) != nullptr;
    view.fileName = WindowTextOf(::GetDlgItem(dialog, cmb13));
    view.fileType = WindowTextOf(::GetDlgItem(dialog, cmb1));
    view.readOnlyBox = ::IsWindowVisible(::GetDlgItem(dialog, chx1));
    if (HWND list = FindDescendant(dialog, WC_LISTVIEWW)) {
        const int count = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            wchar_t text[MAX_PATH] = {};
            LVITEMW item{};
            item.pszText = text;
            item.cchTextMax = MAX_PATH;
            ::SendMessageW(list, LVM_GETITEMTEXTW, i, reinterpret_cast<LPARAM>(&item));
            view.listed.push_back(text);
        }
    }
    return view;
}

// What a user sees in the folder browser, and where it stands.
struct FolderBrowserView {
    bool shown = false;
    std::wstring caption;
    bool titleShown = false;  // "选择路径" above the tree
    RECT rect{};
};

FolderBrowserView ReadFolderBrowser(HWND dialog)
{
    FolderBrowserView view;
    view.shown = FindDescendant(dialog, WC_TREEVIEWW) != nullptr;
    view.caption = WindowTextOf(dialog);
    view.titleShown = FindDescendant(dialog, L"Static", L"选择路径") != nullptr;
    ::GetWindowRect(dialog, &view.rect);
    return view;
}

// The folder browser finds the folder to open at by comparing the shell's item records,
// which under Wine carry the access time; Linux updates that time on the first read after
// a change, so a folder just made would be missed. Read each folder on the path once first.
void SettleAccessTimes(std::string path)
{
    for (;;) {
        WIN32_FIND_DATAA found;
        HANDLE find = ::FindFirstFileA((path + "\\*").c_str(), &found);
        if (find != INVALID_HANDLE_VALUE)
            ::FindClose(find);
        const size_t slash = path.rfind('\\');
        if (slash == std::string::npos || slash < 3)
            return;
        path.resize(slash);
    }
}

// Makes a control answer 8-bit length requests as Windows may for a Unicode control in
// a double-byte code page: with up to twice the real length.
class InflatedTextLength {
public:
    explicit InflatedTextLength(HWND control) : m_control(control)
    {
        s_proc = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Proc)));
    }
    ~InflatedTextLength() { ::SetWindowLongPtrA(m_control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(s_proc)); }

private:
    static LRESULT CALLBACK Proc(HWND w, UINT msg, WPARAM wp, LPARAM lp)
    {
        const LRESULT result = ::CallWindowProcA(s_proc, w, msg, wp, lp);
        return msg == WM_GETTEXTLENGTH ? 2 * result : result;
    }
    static inline WNDPROC s_proc = nullptr;
    HWND m_control;
};

class BrowseTest : public DialogTest {
protected:
    void SetUp() override
    {
        DialogTest::SetUp();
        ::GetCurrentDirectoryW(MAX_PATH, m_savedDir);
    }
    void TearDown() override
    {
        // The file-open dialog makes the chosen file's folder the current one, which
        // would keep the test folder from being removed.
        ::SetCurrentDirectoryW(m_savedDir);
        DialogTest::TearDown();
    }

    // Presses a button of the main dialog whose handler opens a picker; act handles it.
    // True when a picker was opened.
    bool PressWithPicker(int button, const std::function<void(HWND)>& act)
    {
        OwnedDialogDriver driver(hwnd(), act);
        Click(button);
        return driver.Finish();
    }

    TempDir dir;
    wchar_t m_savedDir[MAX_PATH] = {};
};

TEST_F(BrowseTest, FileDialogStartsFromThePathUnlessItIsADriveRootOrLess)
{
    const std::string file = dir.File("a.bin", BytesOf("x"));
    FileDialogView view;
    SetText(IDC_PATH, file);
    ASSERT_TRUE(PressWithPicker(IDC_BROWSE, [&](HWND d) {
        view = ReadFileDialog(d);
        PressButton(d, IDOK);
    }));
    ASSERT_TRUE(view.shown);
    // The dialog opens in the file's folder with its name in the name box.
    EXPECT_EQ(view.fileName, L"a.bin");
    EXPECT_EQ(Text(IDC_PATH), file) << "the same file chosen again";
    EXPECT_FALSE(Checked(IDC_OPEN_DIR));

    // Three bytes or fewer give no initial name; four do.
    const std::pair<const char*, const wchar_t*> cases[] = {
        {"C:\\", L""}, {"x.y", L""}, {"C:", L""}, {"", L""}, {"xy.z", L"xy.z"}};
    for (const auto& [path, name] : cases) {
        SetText(IDC_PATH, path);
        ASSERT_TRUE(PressWithPicker(IDC_BROWSE, [&](HWND d) {
            view = ReadFileDialog(d);
            PressButton(d, IDCANCEL);
        })) << path;
        EXPECT_EQ(view.fileName, name) << path;
        EXPECT_EQ(Text(IDC_PATH), path) << "cancelled";
    }
}

// Wine's file-open dialog leaves hidden files out of its list whatever the flags say
// (checked: a hidden file made here is not listed), so only the rest is checked.
TEST_F(BrowseTest, FileDialogOffersAllFilesWithoutAReadOnlyBox)
{
    const std::string file = dir.File("a.bin", BytesOf("x"));
    dir.File("b", BytesOf("x"));
    FileDialogView view;
    SetText(IDC_PATH, file);
    ASSERT_TRUE(PressWithPicker(IDC_BROWSE, [&](HWND d) {
        view = ReadFileDialog(d);
        PressButton(d, IDCANCEL);
    }));
    EXPECT_EQ(view.fileType, L"全部文件");
    EXPECT_FALSE(view.readOnlyBox);
    EXPECT_EQ(view.listed, (std::vector<std::wstring>{L"a.bin", L"b"}));
}

TEST_F(BrowseTest, FileChosenByNameIsWrittenAsTheDialogReturnsIt)
{
    dir.File("a.bin", BytesOf("x"));
    const std::string other = dir.File("b.bin", BytesOf("y"));
    const std::string target = dir.File("sub\\t.bin", BytesOf("z"));
    ASSERT_TRUE(MakeShortcut(dir / "t.lnk", target));

    // Wine's dialog returns a chosen shortcut itself, where Windows' returns its target;
    // either way the path is written as returned and not resolved again here.
    for (const auto& [typed, expected] : {std::pair<std::string, std::string>{"b.bin", other},
                                          {"t.lnk", dir / "t.lnk"}}) {
        SetText(IDC_PATH, dir / "a.bin");
        ASSERT_TRUE(PressWithPicker(IDC_BROWSE, [&, typed = typed](HWND d) {
            ::SendMessageW(::GetDlgItem(d, cmb13), WM_SETTEXT, 0,
                           reinterpret_cast<LPARAM>(Wide(typed).c_str()));
            PressButton(d, IDOK);
        }));
        EXPECT_EQ(Text(IDC_PATH), expected) << typed;
        EXPECT_FALSE(Checked(IDC_OPEN_DIR)) << typed;
    }
}

TEST_F(BrowseTest, FileDialogWantsAFileThatExists)
{
    const std::string file = dir.File("a.bin", BytesOf("x"));
    SetText(IDC_PATH, file);
    bool stayedOpen = false;
    ASSERT_TRUE(PressWithPicker(IDC_BROWSE, [&](HWND d) {
        ::SendMessageW(::GetDlgItem(d, cmb13), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"missing.bin"));
        PressButton(d, IDOK);
        // The dialog's own complaint comes (answered by the test's hook), and it stays.
        for (int i = 0; i < 1000 && answerer()->boxes().empty(); ++i)
            ::Sleep(10);
        stayedOpen = ::IsWindowVisible(d);
        PressButton(d, IDCANCEL);
    }));
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(answerer()->boxes().size(), 1u) << "the dialog's own complaint";
    EXPECT_EQ(Text(IDC_PATH), file);
}

TEST_F(BrowseTest, FolderBrowserOpensCentredAtThePathWithItsTitle)
{
    const std::string folder = dir.Dir("tree\\sub");
    SettleAccessTimes(folder);
    SetText(IDC_PATH, folder);
    SetChecked(IDC_OPEN_DIR, true);
    FolderBrowserView view;
    ASSERT_TRUE(PressWithPicker(IDC_BROWSE, [&](HWND d) {
        view = ReadFolderBrowser(d);
        PressButton(d, IDOK);
    }));
    ASSERT_TRUE(view.shown);
    EXPECT_TRUE(view.titleShown);
    EXPECT_NE(view.caption, L"选择路径") << "the caption stays the system's";
    EXPECT_EQ(Text(IDC_PATH), folder) << "opened at the path, chosen unchanged";
    EXPECT_TRUE(Checked(IDC_OPEN_DIR));

    RECT main;
    ::GetWindowRect(hwnd(), &main);
    EXPECT_NEAR(view.rect.left + view.rect.right, main.left + main.right, 1);
    EXPECT_NEAR(view.rect.top + view.rect.bottom, main.top + main.bottom, 1);
}

TEST_F(BrowseTest, CancelledFolderBrowserLeavesThePath)
{
    const std::string folder = dir.Dir("tree");
    SettleAccessTimes(folder);
    SetText(IDC_PATH, folder + "\\typed");
    SetChecked(IDC_OPEN_DIR, true);
    ASSERT_TRUE(PressWithPicker(IDC_BROWSE, [&](HWND d) { PressButton(d, IDCANCEL); }));
    EXPECT_EQ(Text(IDC_PATH), folder + "\\typed");
    EXPECT_TRUE(Checked(IDC_OPEN_DIR));
}

// Start with two bytes of path or fewer opens the picker and scans nothing, even when a
// file is then chosen; with three bytes it scans.
TEST_F(BrowseTest, StartWithTooShortAPathOpensThePickerInsteadOfScanning)
{
    const std::string file = dir.File("a.bin", BytesOf("xA"));
    SetText(IDC_FIND_HEX, "41");

    SetText(IDC_PATH, "");
    FileDialogView view;
    ASSERT_TRUE(PressWithPicker(IDC_START, [&](HWND d) {
        view = ReadFileDialog(d);
        ::SendMessageW(::GetDlgItem(d, cmb13), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Wide(file).c_str()));
        PressButton(d, IDOK);
    }));
    EXPECT_TRUE(view.shown) << "the file-open dialog";
    EXPECT_EQ(Text(IDC_PATH), file);
    EXPECT_TRUE(answerer()->boxes().empty()) << "no scan ran";

    std::vector<std::string> shortPaths = {"C:"};
    if (::GetACP() == 936)
        shortPaths.push_back("\xCA\xFD");  // one double-byte character counts two
    for (const std::string& shortPath : shortPaths) {
        SetText(IDC_PATH, shortPath);
        SetChecked(IDC_OPEN_DIR, true);
        FolderBrowserView folderView;
        ASSERT_TRUE(PressWithPicker(IDC_START, [&](HWND d) {
            folderView = ReadFolderBrowser(d);
            PressButton(d, IDCANCEL);
        }));
        EXPECT_TRUE(folderView.shown) << "the folder browser";
        EXPECT_EQ(Text(IDC_PATH), shortPath);
        EXPECT_TRUE(answerer()->boxes().empty()) << "no scan ran";
    }

    // The rule counts the text itself, whatever length the control reports. (Not in
    // directory mode: a walk of "C:" would take the whole drive.)
    {
        InflatedTextLength inflated(Item(IDC_PATH));
        SetText(IDC_PATH, "C:");
        SetChecked(IDC_OPEN_DIR, false);
        ASSERT_TRUE(PressWithPicker(IDC_START, [](HWND d) { PressButton(d, IDCANCEL); }));
        EXPECT_TRUE(answerer()->boxes().empty()) << "no scan ran";
    }

    // Three bytes are a path to scan: there is no such file to open.
    SetText(IDC_PATH, "C:\\");
    SetChecked(IDC_OPEN_DIR, false);
    EXPECT_FALSE(PressWithPicker(IDC_START, [](HWND) {}));
    ASSERT_EQ(answerer()->boxes().size(), 1u);
    EXPECT_EQ(answerer()->boxes()[0].text, L"打开文件失败！");
}

}  // namespace
