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
};

// On success fills image; on any failure image is left untouched.
BinLoadResult LoadBinFile(const std::string& path, Image& image);

// Writes the 2048 bytes atomically: a temporary file in the same folder, then a rename.
// Returns false and a message naming the path and the reason on failure.
bool SaveBinFile(const std::string& path, const Image& image, std::string* message);

// The name a save writes: ".bin" appended unless the name already ends in ".bin" (any case).
std::string SaveTargetName(const std::string& chosen);

}  // namespace bw
