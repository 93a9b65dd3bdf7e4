#include "target/command_line.h"

#include "framework/ansi_path.h"

#include <shellapi.h>

#include <cstdlib>
#include <memory>

namespace {

struct FreeLocal {
    void operator()(LPWSTR* memory) const { ::LocalFree(memory); }
};

}  // namespace

std::string FirstArgumentPath()
{
    std::string path = __argv[1];
    int count = 0;
    const std::unique_ptr<LPWSTR, FreeLocal> args(::CommandLineToArgvW(::GetCommandLineW(), &count));
    if (!args)
        return path;
    if (count == __argc) {
        // The same argument when the system's conversion of it is what the runtime holds.
        const std::wstring wide = args.get()[1];
        const int bytes = ::WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()),
                                                nullptr, 0, nullptr, nullptr);
        std::string fitted(bytes > 0 ? bytes : 0, '\0');
        if (bytes > 0)
            ::WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()), &fitted[0], bytes,
                                  nullptr, nullptr);
        if (fitted == path)
            path = AnsiPath(wide);
    }
    return path;
}
