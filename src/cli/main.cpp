#include <cstdio>
#include <iostream>

#include "cli/cli_app.h"
#include "cli/console_session.h"
#include "os/utf8_args.h"

#if defined(_WIN32)
#include <io.h>
#define BW_ISATTY(stream) (_isatty(_fileno(stream)) != 0)
#else
#include <unistd.h>
#define BW_ISATTY(stream) (isatty(fileno(stream)) != 0)
#endif

int main(int argc, char** argv) {
    bw::Utf8Arguments arguments(argc, argv);
    const bw::ConsoleSession console;
    // Started from Explorer: no arguments and a window of its own that would vanish with
    // the error. Say how to use it and keep the window until a key is pressed.
    if (arguments.argc() <= 1 && console.ownsWindow()) {
        std::cout << bw::ConsoleSession::kStartedAlone << "\n\n";
        char name[] = "binwright", help[] = "--help";
        char* usage[] = {name, help, nullptr};
        bw::RunCli(2, usage, std::cout, std::cout);
        console.waitForKey();
        return 0;
    }
    bw::CliEnvironment environment;
    // Progress only on a terminal, never in a pipe or a file.
    environment.showProgress = BW_ISATTY(stdout) && BW_ISATTY(stderr);
    return bw::RunCli(arguments.argc(), arguments.argv(), std::cout, std::cerr, environment);
}
