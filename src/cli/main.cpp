#include <cstdio>
#include <iostream>

#include "cli/cli_app.h"

#if defined(_WIN32)
#include <io.h>
#define BW_ISATTY(stream) (_isatty(_fileno(stream)) != 0)
#else
#include <unistd.h>
#define BW_ISATTY(stream) (isatty(fileno(stream)) != 0)
#endif

int main(int argc, char** argv) {
    bw::CliEnvironment environment;
    // Progress only on a terminal, never in a pipe or a file.
    environment.showProgress = BW_ISATTY(stdout) && BW_ISATTY(stderr);
    return bw::RunCli(argc, argv, std::cout, std::cerr, environment);
}
