#pragma once
// Paths the tool reads or writes as plain files (images, logs, traces, simulated memory).
// A FIFO, a device node or a folder in their place would block, never end or take the
// bytes somewhere else, so they are turned away before anything opens them.

#include <string>

namespace bw {

// Empty when `path` names a regular file (symbolic links followed) or, with mayCreate,
// nothing yet in an existing folder. Otherwise the reason, e.g. "is a FIFO, not a regular
// file", "is a folder", "does not exist", "folder \"out\" does not exist".
std::string RegularFileProblem(const std::string& path, bool mayCreate);

}  // namespace bw
