// Figures for the engine as the program runs it, under Windows or Wine:
//
//   engine_bench make-file PATH MIB       writes MIB MiB of English-like text
//   engine_bench tree DIR RUNS HEX        Start on the real dialog in directory mode
//                                         over DIR, HEX the find pattern (absent)
//   engine_bench start-each DIR HEX       the same, once for every line read from the
//                                         input, printing its seconds and the way large
//                                         files are searched after it: the caller can
//                                         drop the files from the page cache between
//                                         runs of one program
//   engine_bench floor DIR RUNS           what the system allows a walk of DIR: each
//                                         file opened, read with one ReadFile and closed,
//                                         on two threads
//   engine_bench read-or-map DIR RUNS     for files of several sizes, made in DIR: the
//                                         time to open and search one by reading it whole,
//                                         in pieces, mapping a view of it, and as Start does
//   engine_bench replace-walk DIR RUNS    Start in directory mode without asking over
//                                         the files of DIR, each holding "AB" replaced
//                                         by "YZ" (made afresh before every run), No to
//                                         every question whether to go on; with the
//                                         flush after each write, and with the flush
//                                         skipped, taking turns: what the flush costs
//   engine_bench ways FILE HEX RUNS       each way of bringing a large file's bytes in,
//                                         forced, over FILE (HEX absent from it): the
//                                         rate, and what the threads spend on a GiB;
//                                         then what the trial sees of each way on
//                                         its spans, and the way the process chooses
//                                         (the system's process times tick too coarsely
//                                         under Wine for a file's search: the threads'
//                                         own seconds on their runs stand for them)
//
// Each figure is the median of RUNS runs, printed as "key=value" fields on one line.
#include "app/replace_app.h"
#include "app/replace_dlg.h"
#include "bench/bench_data.h"
#include "engine/find_pattern.h"
#include "engine/mapped_views.h"
#include "engine/read_pieces.h"
#include "engine/runs_ahead.h"
#include "engine/search_file.h"
#include "framework/com.h"
#include "tests/wine/support/import_table.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

// The big file is written in blocks of this size; the pattern is taken from the first.
constexpr size_t kBlockBytes = size_t(64) << 20;

struct BenchApp : CReplaceApp {
    BenchApp() { SetDialogBkColor(RGB(245, 245, 245), RGB(0, 0, 0)); }
};
BenchApp g_app;

double Seconds()
{
    static LARGE_INTEGER frequency;
    if (!frequency.QuadPart)
        ::QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

template <class F>
double MedianSeconds(int runs, F run)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const double start = Seconds();
        run();
        times.push_back(Seconds() - start);
    }
    return Median(times);
}

int64_t FileLength(const char* path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(path, GetFileExInfoStandard, &data))
        return -1;
    return static_cast<int64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

bool WriteAll(const std::string& path, const unsigned char* bytes, size_t count, bool append = false)
{
    HANDLE file = ::CreateFileA(path.c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE, 0, nullptr,
                                append ? OPEN_ALWAYS : CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD put = 0;
    const bool ok = ::WriteFile(file, bytes, static_cast<DWORD>(count), &put, nullptr) && put == count;
    ::CloseHandle(file);
    return ok;
}

// Blocks of different text: with repeated data, parts of the search that run side by
// side would see the same bytes, which flatters the processor's branch prediction.
int MakeFile(const char* path, int mib)
{
    for (size_t written = 0; written < static_cast<size_t>(mib) << 20; written += kBlockBytes) {
        const uint32_t seed = static_cast<uint32_t>(written / kBlockBytes) + 1;
        const std::vector<unsigned char> block = MakeBenchData(DataKind::Text, kBlockBytes, seed);
        if (!WriteAll(path, block.data(), block.size(), written > 0)) {
            std::fprintf(stderr, "cannot write %s\n", path);
            return 1;
        }
    }
    return 0;
}

// The files under dir, in walk order.
void ListFiles(const std::string& dir, std::vector<std::string>& files)
{
    WIN32_FIND_DATAA fd;
    HANDLE find = ::FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::string name = fd.cFileName;
        if (name == "." || name == "..")
            continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ListFiles(dir + "\\" + name, files);
        else
            files.push_back(dir + "\\" + name);
    } while (::FindNextFileA(find, &fd));
    ::FindClose(find);
}

int CountFiles(const std::string& dir)
{
    std::vector<std::string> files;
    ListFiles(dir, files);
    return static_cast<int>(files.size());
}

// Opens, reads with one ReadFile and closes every file under dir, on two threads: the
// least a walk that searches each file can do. The listing is made before the clock runs.
int Floor(const char* dir, int runs)
{
    std::vector<std::string> files;
    ListFiles(dir, files);
    const double seconds = MedianSeconds(runs, [&] {
        std::atomic<size_t> next{0};
        auto readAll = [&] {
            std::vector<unsigned char> buffer(1 << 20);
            for (size_t i; (i = next++) < files.size();) {
                HANDLE file = ::CreateFileA(files[i].c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
                DWORD got = 0;
                ::ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr);
                ::CloseHandle(file);
            }
        };
        std::thread other(readAll);
        readAll();
        other.join();
    });
    std::printf("floor files=%zu files_per_second=%.0f\n", files.size(), files.size() / seconds);
    return 0;
}

// The real dialog, set up to press Start in directory mode over dir with an absent
// pattern: a file that held it would open a message box, which waits for an answer.
class WalkDialog {
public:
    WalkDialog(const char* dir, const char* hex)
    {
        // The dialog takes its first argument as the target; it has none here.
        const int savedArgc = __argc;
        __argc = 1;
        m_created = m_dlg.Create();
        __argc = savedArgc;
        if (!m_created)
            return;
        ::SetDlgItemTextA(m_dlg.GetSafeHwnd(), IDC_PATH, dir);
        ::SetDlgItemTextA(m_dlg.GetSafeHwnd(), IDC_FIND_HEX, hex);
        ::SetDlgItemTextA(m_dlg.GetSafeHwnd(), IDC_REPLACE_HEX, "");
        ::CheckDlgButton(m_dlg.GetSafeHwnd(), IDC_OPEN_DIR, BST_CHECKED);
        ::CheckDlgButton(m_dlg.GetSafeHwnd(), IDC_ASK, BST_UNCHECKED);
    }
    ~WalkDialog()
    {
        if (m_created)
            ::DestroyWindow(m_dlg.GetSafeHwnd());
    }
    bool Created() const { return m_created; }
    void SetReplacement(const char* hex) { ::SetDlgItemTextA(m_dlg.GetSafeHwnd(), IDC_REPLACE_HEX, hex); }
    void Start()
    {
        ::SendMessageA(m_dlg.GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(IDC_START, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(m_dlg.GetSafeHwnd(), IDC_START)));
    }

private:
    CReplaceDlg m_dlg;
    bool m_created = false;
};

int WalkTree(const char* dir, int runs, const char* hex)
{
    const int files = CountFiles(dir);
    WalkDialog dlg(dir, hex);
    if (!dlg.Created()) {
        std::fprintf(stderr, "cannot create the dialog\n");
        return 1;
    }
    const double seconds = MedianSeconds(runs, [&] { dlg.Start(); });
    std::printf("tree files=%d files_per_second=%.0f seconds=%.6f\n", files, files / seconds, seconds);
    return 0;
}

// Every message box of this thread answered No (or OK) as soon as it opens.
LRESULT CALLBACK AnswerNo(int code, WPARAM wp, LPARAM lp)
{
    if (code == HCBT_ACTIVATE) {
        const HWND box = reinterpret_cast<HWND>(wp);
        wchar_t cls[16] = {};
        ::GetClassNameW(box, cls, 16);
        // A message box: a dialog with the box's text control (the main dialog has none).
        if (std::wcscmp(cls, L"#32770") == 0 && ::GetDlgItem(box, 0xFFFF))
            ::PostMessageW(box, WM_COMMAND, ::GetDlgItem(box, IDNO) ? IDNO : IDOK, 0);
    }
    return ::CallNextHookEx(nullptr, code, wp, lp);
}

// The program's FlushFileBuffers, or nothing while g_skipFlush: the program's import
// table is pointed here (tests/wine/support/import_table.h).
decltype(&::FlushFileBuffers) g_flush = nullptr;
bool g_skipFlush = false;

BOOL WINAPI MaybeFlush(HANDLE file)
{
    return g_skipFlush || g_flush(file);
}

int ReplaceWalk(const char* dir, int runs)
{
    std::vector<std::string> files;
    ListFiles(dir, files);
    if (files.empty())
        return 1;
    PointImportAt(g_flush, "kernel32.dll", "FlushFileBuffers", &MaybeFlush);
    WalkDialog dlg(dir, "41 42");
    if (!dlg.Created())
        return 1;
    dlg.SetReplacement("59 5A");
    const HHOOK hook = ::SetWindowsHookExW(WH_CBT, AnswerNo, nullptr, ::GetCurrentThreadId());
    std::vector<double> flushed, skipped;
    for (int i = 0; i < runs; ++i) {
        for (bool skip : {false, true}) {
            for (const std::string& f : files) {
                FILE* out = std::fopen(f.c_str(), "wb");
                std::fputs("....AB....", out);
                std::fclose(out);
            }
            g_skipFlush = skip;
            (skip ? skipped : flushed).push_back(MedianSeconds(1, [&] { dlg.Start(); }));
        }
    }
    ::UnhookWindowsHookEx(hook);
    const double n = static_cast<double>(files.size());
    const double with = Median(flushed) * 1e3 / n, without = Median(skipped) * 1e3 / n;
    std::printf("replace files=%zu ms_per_file_flushed=%.3f ms_per_file_unflushed=%.3f flush_ms_per_file=%.3f\n",
                files.size(), with, without, with - without);
    return 0;
}

int StartEach(const char* dir, const char* hex)
{
    WalkDialog dlg(dir, hex);
    if (!dlg.Created()) {
        std::fprintf(stderr, "cannot create the dialog\n");
        return 1;
    }
    char line[64];
    while (std::fgets(line, sizeof line, stdin)) {
        const double seconds = MedianSeconds(1, [&] { dlg.Start(); });
        static const char* const kWays[] = {"pieces", "small-pieces", "views"};
        std::printf("seconds=%.6f way=%s\n", seconds, kWays[static_cast<int>(CurrentWayChoice().Chosen())]);
        std::fflush(stdout);
    }
    return 0;
}

std::vector<unsigned char> ParseHex(const char* hex)
{
    std::vector<unsigned char> bytes;
    for (const char* p = hex; p[0] && p[1]; p += 2) {
        const char pair[3] = {p[0], p[1], 0};
        bytes.push_back(static_cast<unsigned char>(std::strtoul(pair, nullptr, 16)));
    }
    return bytes;
}

// One search of the runs of plan the way given, by two threads as the engine runs them.
struct WaySearch {
    double wall, busy;  // seconds
    int64_t bytes;
    double mapping;  // of busy, mapping and unmapping views
    int views;

    // The threads' seconds a GiB, the views' mapping counted as for views of the size
    // the rest of a file is searched in, as the trial counts it.
    double TrialMsPerGiB() const
    {
        return SecondsInViewsOfTheRest(busy, mapping, views, bytes) / static_cast<double>(bytes) * double(1 << 30) * 1e3;
    }
};

WaySearch SearchWay(HANDLE file, HANDLE mapping, bool views, const PatternBytes& pattern, const int32_t* table,
                    const RunPlan& plan)
{
    static std::vector<unsigned char> own, helper;
    own.resize(static_cast<size_t>(plan.runBytes + plan.carry));
    helper.resize(own.size());
    PieceRunReader ownReader(file, false, pattern, table, own), helperReader(file, true, pattern, table, helper);
    ViewRunSearcher ownViews(mapping, pattern, table), helperViews(mapping, pattern, table);
    const std::function<void()> none;
    const double start = Seconds();
    double busy;
    int64_t bytes;
    {
        RunsAhead runs(plan, views ? static_cast<RunWorker&>(ownViews) : ownReader,
                       views ? static_cast<RunWorker&>(helperViews) : helperReader, nullptr, none);
        runs.Search();
        busy = runs.BusySeconds();
        bytes = runs.BusyBytes();
    }
    return WaySearch{Seconds() - start, busy, bytes, ownViews.MappingSeconds() + helperViews.MappingSeconds(),
                     ownViews.Views() + helperViews.Views()};
}

int Ways(const char* path, const char* hex, int runs)
{
    const std::vector<unsigned char> bytes = ParseHex(hex);
    const PatternBytes pattern(bytes.data(), static_cast<int32_t>(bytes.size()));
    int32_t table[256];
    BuildShiftTable(pattern.bytes, pattern.n, table);
    const CHandle file(::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    const int64_t length = QueryFileLength(file.Get());
    const CHandle mapping(CreateReadMapping(file.Get(), length));
    if (!file.IsValid() || !mapping.IsValid() || length < kTrialFileBytes) {
        std::fprintf(stderr, "cannot open %s, or smaller than a trial's file\n", path);
        return 1;
    }
    const int64_t carry = pattern.n - 1;
    static const char* const kWays[] = {"pieces", "small-pieces", "views"};
    const int64_t runBytes[] = {kReadPieceBytes, kSmallReadPieceBytes, kSearchViewBytes};
    constexpr double kGiB = double(1 << 30);
    for (int way = 0; way < kReadWays; ++way) {
        std::vector<double> rate, busy, trial;
        for (int i = 0; i < runs; ++i) {
            const WaySearch whole = SearchWay(file.Get(), mapping.Get(), way == 2, pattern, table,
                                              RunPlan{0, length, runBytes[way], carry});
            rate.push_back(static_cast<double>(length) / whole.wall / 1e9);
            busy.push_back(whole.busy / static_cast<double>(whole.bytes) * kGiB * 1e3);
        }
        // The trial's span of the way, at each of the places it can have in a trial.
        for (int i = 0; i < 3 * runs; ++i) {
            const int64_t from = (i % 3) * kTrialSpanBytes;
            const RunPlan span{from, from + kTrialSpanBytes + carry, way == 2 ? kTrialSpanBytes / 2 : runBytes[way],
                               carry, from + kTrialSpanBytes};
            const WaySearch part = SearchWay(file.Get(), mapping.Get(), way == 2, pattern, table, span);
            trial.push_back(part.TrialMsPerGiB());
        }
        std::sort(trial.begin(), trial.end());
        std::printf("way=%s gbps=%.2f busy_ms_per_gib=%.0f trial_ms_per_gib=%.0f "
                    "trial_low=%.0f trial_high=%.0f\n",
                    kWays[way], Median(rate), Median(busy), Median(trial), trial.front(),
                    trial.back());
    }
    // What a fresh process chooses: its first two trials, on this file.
    FileSearcher searcher(table);
    for (int i = 0; i < 2; ++i)
        searcher.Search(path, pattern);
    std::printf("chosen=%s\n", kWays[static_cast<int>(CurrentWayChoice().Chosen())]);
    return 0;
}

double PerFileMicroseconds(int runs, const std::vector<std::string>& files, int (*search)(const std::string&))
{
    return MedianSeconds(runs, [&] {
        for (const std::string& f : files)
            search(f);
    }) * 1e6 / static_cast<double>(files.size());
}

std::vector<unsigned char> g_readBuffer;
int32_t g_table[256];
const unsigned char kAbsent[] = {0xFF, 0xFE, 0xFD, 0xFC};

int SearchRead(const std::string& path)
{
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    const int64_t length = QueryFileLength(file);
    if (g_readBuffer.size() < static_cast<size_t>(length))
        g_readBuffer.resize(static_cast<size_t>(length));
    DWORD got = 0;
    ::ReadFile(file, g_readBuffer.data(), static_cast<DWORD>(length), &got, nullptr);
    ::CloseHandle(file);
    BuildShiftTable(kAbsent, 4, g_table);
    return static_cast<int>(FindPattern(g_readBuffer.data(), kAbsent, g_table, got, 4));
}

// Read as the engine reads files too big for one piece: kReadPieceBytes at a time, each
// searched behind the last bytes of the one before.
int SearchPieces(const std::string& path)
{
    constexpr int32_t n = sizeof kAbsent;
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    const int64_t length = QueryFileLength(file);
    const size_t capacity = static_cast<size_t>(std::min<int64_t>(length, kReadPieceBytes + n - 1));
    if (g_readBuffer.size() < capacity)
        g_readBuffer.resize(capacity);
    BuildShiftTable(kAbsent, n, g_table);
    int64_t base = 0, held = 0, found = -1;
    while (found < 0 && base + held < length) {
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(std::min<int64_t>(kReadPieceBytes, length - base - held));
        ::ReadFile(file, g_readBuffer.data() + held, want, &got, nullptr);
        held += got;
        found = FindPattern(g_readBuffer.data(), kAbsent, g_table, held, n);
        std::memmove(g_readBuffer.data(), g_readBuffer.data() + held - (n - 1), n - 1);
        base += held - (n - 1);
        held = n - 1;
    }
    ::CloseHandle(file);
    return static_cast<int>(found);
}

int SearchMapped(const std::string& path)
{
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    const int64_t length = QueryFileLength(file);
    HANDLE mapping = ::CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    ::CloseHandle(file);
    const auto* view = static_cast<const unsigned char*>(::MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
    ::CloseHandle(mapping);
    BuildShiftTable(kAbsent, 4, g_table);
    const int found = static_cast<int>(FindPattern(view, kAbsent, g_table, length, 4));
    ::UnmapViewOfFile(view);
    return found;
}

// As Start searches it: read or mapped as the process chose, by two threads from
// kHelpedReadBytes on.
int SearchEngine(const std::string& path)
{
    static FileSearcher searcher(g_table);
    return static_cast<int>(searcher.Search(path.c_str(), kAbsent, sizeof kAbsent).at);
}

// The cost of a file each way, by size: what reading costs against mapping, and what the
// engine's second thread gives the larger files.
int ReadOrMap(const char* dir, int runs)
{
    ::CreateDirectoryA(dir, nullptr);
    for (int kib : {4, 16, 64, 256, 512, 1024, 2048, 4096, 8192, 16384, 65536}) {
        const size_t bytes = static_cast<size_t>(kib) << 10;
        const int count = static_cast<int>(std::max<size_t>(16, (size_t(64) << 20) / bytes));
        std::vector<std::string> files;
        for (int i = 0; i < count; ++i) {
            files.push_back(std::string(dir) + "\\" + std::to_string(kib) + "k-" + std::to_string(i) + ".txt");
            if (FileLength(files.back().c_str()) != static_cast<int64_t>(bytes)) {
                const std::vector<unsigned char> data = MakeBenchData(DataKind::Text, bytes, static_cast<uint32_t>(i + 1));
                WriteAll(files.back(), data.data(), data.size());
            }
        }
        const double read = PerFileMicroseconds(runs, files, SearchRead);
        const double pieces = PerFileMicroseconds(runs, files, SearchPieces);
        const double mapped = PerFileMicroseconds(runs, files, SearchMapped);
        const double engine = PerFileMicroseconds(runs, files, SearchEngine);
        std::printf("size kib=%d read_us=%.1f pieces_us=%.1f map_us=%.1f engine_us=%.1f\n", kib, read, pieces, mapped,
                    engine);
    }
    return 0;
}

void Usage()
{
    std::fprintf(stderr,
                 "usage: engine_bench make-file PATH MIB\n"
                 "       engine_bench tree DIR RUNS HEX\n"
                 "       engine_bench start-each DIR HEX\n"
                 "       engine_bench floor DIR RUNS\n"
                 "       engine_bench read-or-map DIR RUNS\n"
                 "       engine_bench ways FILE HEX RUNS\n"
                 "       engine_bench replace-walk DIR RUNS\n");
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    // The dialog runs with OLE up on its thread, as in the program (CReplaceApp).
    const COleInit ole;
    if (command == "make-file" && argc == 4)
        return MakeFile(argv[2], std::atoi(argv[3]));
    if (command == "tree" && argc == 5)
        return WalkTree(argv[2], std::atoi(argv[3]), argv[4]);
    if (command == "start-each" && argc == 4)
        return StartEach(argv[2], argv[3]);
    if (command == "floor" && argc == 4)
        return Floor(argv[2], std::atoi(argv[3]));
    if (command == "read-or-map" && argc == 4)
        return ReadOrMap(argv[2], std::atoi(argv[3]));
    if (command == "ways" && argc == 5)
        return Ways(argv[2], argv[3], std::atoi(argv[4]));
    if (command == "replace-walk" && argc == 4)
        return ReplaceWalk(argv[2], std::atoi(argv[3]));
    Usage();
    return 2;
}
