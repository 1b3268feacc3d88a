#pragma once
// A simulated line kept in a folder (scenario key line-dir=FOLDER), so that it outlives the
// process that drives it: a station killed in the middle of a mouse finds the same mouse,
// with the memory it had, when it starts again.
//
//   FOLDER/mouse.K   the memory of the K-th mouse, written through on every change
//   FOLDER/line      "mouse K" (the mouse at the station) and "written 0|1" (a write to it
//                    had started)
//
// A mouse leaves the line for good only at the first enumeration after it was pulled out:
// a station that stops before it polls again has not had the chance to record its result,
// and finds the mouse still there. Files are replaced by renaming a complete new one, so a
// kill never leaves half a file.

#include <optional>
#include <string>

#include "image/image_buffers.h"

namespace bw {

class SimLineFolder {
  public:
    struct Position {
        int mouse = 1;         // 1-based ordinal of the mouse at the station
        bool written = false;  // a write to it had started
    };

    // Creates the folder when it is missing; throws ScenarioError when it cannot.
    explicit SimLineFolder(std::string folder);

    // Where the line stood when the last process stopped (the first mouse for a new folder).
    Position position() const { return position_; }
    // The memory of mouse K as kept, or nullopt when it has none (never plugged).
    std::optional<Image> memory(int mouse) const;

    // Mouse K is at the station with this memory.
    void plugged(int mouse, const Image& memory);
    // After a transfer to mouse K: its memory and whether a write to it has started.
    void changed(int mouse, const Image& memory, bool written);
    // Mouse K was pulled out; the line moves on at the next enumeration (settle()).
    void pulledOut(int mouse);
    void settle();
    // False once a file could not be written.
    bool ok() const { return ok_; }

  private:
    std::string path(const std::string& name) const;
    void storePosition();

    std::string folder_;
    Position position_;
    std::optional<int> leaving_;
    Image stored_{};  // what mouse.K holds for the mouse at the station
    bool ok_ = true;
};

}  // namespace bw
