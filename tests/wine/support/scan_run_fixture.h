// Start pressed on the real dialog, the message boxes answered for real and what they
// said checked: the fixture of the tests of the scan and patch run.
#pragma once

#include "tests/wine/support/dialog_fixture.h"
#include "tests/wine/support/test_files.h"

#include <string>
#include <vector>

inline constexpr wchar_t kNotFound[] = L"没有找到你要搜索的内容。";
inline constexpr wchar_t kOpenFailed[] = L"打开文件失败！";
inline constexpr wchar_t kWriteFailed[] = L"写入文件失败！";
inline constexpr wchar_t kContinue[] = L"字符替换成功，是否继续替换？";

// The found message for path and an offset as shown ("0x00000010").
std::wstring Found(const std::string& path, const std::wstring& offset);
// The found message with the question whether to replace.
std::wstring Ask(const std::string& path, const std::wstring& offset);

inline const std::vector<int> kOk = {IDOK};
inline const std::vector<int> kYesNo = {IDYES, IDNO};

class ScanRunTest : public DialogTest {
protected:
    // Every run starts from the way of reading large files a process starts with,
    // whatever earlier tests or a trial on this machine chose.
    void SetUp() override;
    // Presses Start; the boxes it opens are answered in this order.
    void Start(std::vector<int> answers = {});
    void Patterns(const std::string& findHex, const std::string& replaceHex);
    const std::vector<ShownBox>& Boxes() { return answerer()->boxes(); }
    // What the boxes said, for failure messages.
    std::string Said();
    void ExpectBox(size_t i, const std::wstring& text, UINT icon, const std::vector<int>& buttons);

    TempDir dir;
};
