#include "os/utf8_args.h"

#ifdef _WIN32
#include <windows.h>
// clang-format off
#include <shellapi.h>
// clang-format on

#include "os/utf8_path.h"
#endif

namespace bw {

Utf8Arguments::Utf8Arguments(int argc, char** argv) {
#ifdef _WIN32
    int count = 0;
    if (LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 0; i < count; ++i) text_.push_back(Utf8FromWide(wide[i]));
        LocalFree(wide);
    }
    if (text_.empty())
#endif
        text_.assign(argv, argv + argc);
    for (auto& t : text_) pointers_.push_back(t.data());
    pointers_.push_back(nullptr);
}

}  // namespace bw
