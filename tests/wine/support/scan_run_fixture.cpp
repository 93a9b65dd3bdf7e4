#include "tests/wine/support/scan_run_fixture.h"

#include "tests/wine/support/read_way.h"

std::wstring Found(const std::string& path, const std::wstring& offset)
{
    return L"文件\"" + Wide(path) + L"\"\n找到关键位置：" + offset + L"。";
}

std::wstring Ask(const std::string& path, const std::wstring& offset)
{
    return Found(path, offset) + L"是否进行替换？";
}

void ScanRunTest::SetUp()
{
    DialogTest::SetUp();
    ASSERT_TRUE(ReadingInPieces()) << "setup: reading in pieces was never chosen";
}

void ScanRunTest::Start(std::vector<int> answers)
{
    answerer()->Queue(std::move(answers));
    Click(IDC_START);
}

void ScanRunTest::Patterns(const std::string& findHex, const std::string& replaceHex)
{
    SetText(IDC_FIND_HEX, findHex);
    SetText(IDC_REPLACE_HEX, replaceHex);
}

std::string ScanRunTest::Said()
{
    std::string all;
    for (const ShownBox& b : Boxes()) {
        char line[2048];
        ::WideCharToMultiByte(CP_UTF8, 0, b.text.c_str(), -1, line, sizeof line, nullptr, nullptr);
        all += std::string("\n  ") + line;
    }
    return all;
}

void ScanRunTest::ExpectBox(size_t i, const std::wstring& text, UINT icon, const std::vector<int>& buttons)
{
    ASSERT_LT(i, Boxes().size()) << "box " << i << " never shown";
    const ShownBox& box = Boxes()[i];
    EXPECT_EQ(box.caption, L"Bytewren");
    EXPECT_EQ(box.text, text);
    EXPECT_EQ(box.icon, icon);
    EXPECT_EQ(box.buttons, buttons);
    EXPECT_EQ(box.owner, hwnd());
}
