#pragma once
// Reading and writing BIN files: exactly 2048 raw bytes.

#include <string>

#include "image/image_buffers.h"

namespace bw {

enum class BinLoadError {
    None,
    WrongSize,   // not a regular file of exactly 2048 bytes (FIFOs, devices, directories too)
    ShortRead,   // fewer than 2048 bytes arrived
    CannotOpen,  // message says why
};

struct BinLoadResult {
    BinLoadError error = BinLoadError::None;
    std::string message;  // for CannotOpen: the path and the system's reason
    // For every error: what is wrong with the file, without the path, e.g. "2047 bytes, an
    // image has 2048" or "is a FIFO, not a regular file".
    std::string reason;
};

// On success fills image; on any failure image is left untouched.
BinLoadResult LoadBinFile(const std::string& path, Image& image);

// Empty when a save may write `path`: a file name is given, it is not a folder or another
// non-regular file, and its folder exists and takes a new file (tried, not guessed).
// Otherwise a message naming the path and the reason. Checked before the mouse is read.
std::string SaveTargetProblem(const std::string& path);

// Writes the 2048 bytes atomically: a temporary file in the same folder, flushed to disk,
// then a rename and a flush of the folder, so a power loss leaves the old file or the new
// one under the name, never a part of it. Returns false and a message naming the path and
// the reason on failure.
bool SaveBinFile(const std::string& path, const Image& image, std::string* message);

// The name a save writes: ".bin" appended unless the name already ends in ".bin" (any case).
std::string SaveTargetName(const std::string& chosen);

}  // namespace bw
