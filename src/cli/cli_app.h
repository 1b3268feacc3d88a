#pragma once
// The command line `binwright`, runnable in-process: arguments in, text and exit code out.

#include <ostream>

#include "device/operation_host.h"

namespace bw {

struct CliEnvironment {
    bool showProgress = false;      // stdout and stderr are terminals
    OperationHost* host = nullptr;  // null: real waits (a TerminalHost)
};

int RunCli(int argc, char** argv, std::ostream& out, std::ostream& err);
int RunCli(int argc, char** argv, std::ostream& out, std::ostream& err,
           const CliEnvironment& environment);

}  // namespace bw
