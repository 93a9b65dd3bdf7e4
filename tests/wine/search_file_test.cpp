// Searching files on disk: what is searched is exactly what was measured and mapped,
// whatever the file does meanwhile, and files of any size are searched.
#include "engine/find_pattern.h"
#include "engine/search_file.h"
#include "tests/wine/support/large_file.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

const unsigned char kAB[] = {'A', 'B'};

HANDLE OpenForSearch(const std::string& path)
{
    return ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
}

void Append(const std::string& path, const std::string& text)
{
    HANDLE h = ::CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    DWORD put = 0;
    ::WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &put, nullptr);
    ::CloseHandle(h);
}

void Resize(const std::string& path, int64_t size)
{
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_ALWAYS, 0, nullptr);
    LARGE_INTEGER pos;
    pos.QuadPart = size;
    ::SetFilePointerEx(h, pos, nullptr, FILE_BEGIN);
    ::SetEndOfFile(h);
    ::CloseHandle(h);
}

TEST(SearchFileTest, FileThatGrowsAfterMeasuringIsSearchedOnlyAsFarAsMeasured)
{
    TempDir dir;
    const std::string file = dir.File("grow.bin", BytesOf("...."));
    HANDLE h = OpenForSearch(file);
    const int64_t measured = QueryFileLength(h);
    ASSERT_EQ(measured, 4);
    Append(file, "AB");  // the file grows between the length query and the mapping
    EXPECT_EQ(SearchOpenFile(h, measured, kAB, 2), SEARCH_NOT_FOUND);
    EXPECT_EQ(SearchOpenFile(h, QueryFileLength(h), kAB, 2), 4);
    ::CloseHandle(h);
}

TEST(SearchFileTest, FileThatShrankAfterMeasuringIsReportedAsUnreadable)
{
    TempDir dir;
    const std::string file = dir.File("shrink.bin", BytesOf("..........AB"));
    HANDLE h = OpenForSearch(file);
    const int64_t measured = QueryFileLength(h);
    Resize(file, 3);
    EXPECT_EQ(SearchOpenFile(h, measured, kAB, 2), SEARCH_OPEN_FAILED);
    ::CloseHandle(h);
}

TEST(SearchFileTest, MissingEmptyAndDirectoryPaths)
{
    TempDir dir;
    EXPECT_EQ(SearchFile((dir / "missing").c_str(), kAB, 2), SEARCH_OPEN_FAILED);
    EXPECT_EQ(SearchFile(dir.File("empty", {}).c_str(), kAB, 2), SEARCH_NOT_FOUND);
    EXPECT_EQ(SearchFile(dir.File("empty", {}).c_str(), kAB, 0), SEARCH_NOT_FOUND);
    EXPECT_EQ(SearchFile(dir.path().c_str(), kAB, 2), SEARCH_OPEN_FAILED);
}

TEST(SearchFileTest, FileHeldOpenByAnotherProgramIsStillSearched)
{
    TempDir dir;
    const std::string file = dir.File("held.bin", BytesOf("xxAB"));
    HANDLE holder = ::CreateFileA(file.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(SearchFile(file.c_str(), kAB, 2), 2);
    ::CloseHandle(holder);
}

// Large files are sparse: only the pattern's pages hold data.
class LargeFileTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string file = dir / "large.bin";
};

TEST_F(LargeFileTest, OccurrenceStraddlingTwoViewsIsFound)
{
    MakeSparseFile(file, 3 * kSearchViewBytes);
    const int64_t at = kSearchViewBytes - 1;  // 'A' ends the first view, 'B' starts the next
    WriteBytesAt(file, at, BytesOf("AB"));
    EXPECT_EQ(SearchFile(file.c_str(), kAB, 2), at);
}

TEST_F(LargeFileTest, LowestOffsetWinsAcrossViews)
{
    MakeSparseFile(file, 3 * kSearchViewBytes);
    WriteBytesAt(file, 2 * kSearchViewBytes + 5, BytesOf("AB"));
    WriteBytesAt(file, kSearchViewBytes + 7, BytesOf("AB"));
    EXPECT_EQ(SearchFile(file.c_str(), kAB, 2), kSearchViewBytes + 7);
}

}  // namespace
