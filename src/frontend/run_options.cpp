#include "frontend/run_options.h"

#include "production/result_text.h"

namespace bw {

int RunExitCode(int fails, int leftAlone) {
    if (fails > 0) return exitcode::Fail;
    return leftAlone > 0 ? exitcode::AlreadyWritten : exitcode::Pass;
}

}  // namespace bw
