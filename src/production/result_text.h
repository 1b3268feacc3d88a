#pragma once
// One table from an operation's outcome to what the operator sees: the text,
// its colour and size on the result label, and the command line's exit code.

#include <cstdint>
#include <string>

#include "image/outcome.h"

namespace bw {

struct Rgb {
    std::uint8_t r, g, b;
    bool operator==(const Rgb&) const = default;
};

inline constexpr Rgb kLime{0, 255, 0};
inline constexpr Rgb kGreen{0, 128, 0};
inline constexpr Rgb kRed{255, 0, 0};

enum class ResultPlace {
    None,            // nothing shown
    CtrlResult,      // lbl_CtrlResult with text and colour
    BinDevError,     // lbl_BINDevError ("BIN file not match Mouse")
    BinIcTypeError,  // lbl_BINICTypeError ("BIN file not match IC Type")
};

struct ResultView {
    ResultPlace place = ResultPlace::None;
    std::string text;  // empty when nothing is shown
    Rgb colour{0, 0, 0};
    int pointSize = 0;  // 0: the label keeps its size
    // What lbl_CtrlResult holds afterwards, in `colour` and `pointSize` (shown when `place` is
    // CtrlResult); empty: it keeps its text.
    std::string caption;
};

// The designed table: the command line prints its text; a quiet end shows nothing.
ResultView ViewOf(Operation op, Outcome outcome, int icIndex);
// What the window shows, and what automatic mode keeps as the last result: the table above,
// except that every end short of a pass shows that operation's failure ("Write Fail", ...,
// in the failure colour), also when the mouse did not answer, and that the result label
// never keeps the text it had for the mouse before ("BIN file not match Mouse" shows
// beside a failure caption the label holds hidden).
ResultView ShownView(Operation op, Outcome outcome, int icIndex);

// Exit codes of the command line.
namespace exitcode {
inline constexpr int Pass = 0;
inline constexpr int Fail = 1;
inline constexpr int Usage = 2;
inline constexpr int NoMouse = 3;
inline constexpr int Mismatch = 4;
inline constexpr int NoAnswer = 5;
inline constexpr int NotLogged = 6;  // the operation ran, its log line could not be written
// run: a mouse was left alone, holding a number the ledger recorded as written before
inline constexpr int AlreadyWritten = 7;
inline constexpr int Interrupted = 130;  // stopped by SIGINT (Ctrl-C)
inline constexpr int Terminated = 143;   // stopped by SIGTERM
}  // namespace exitcode

int ExitCodeOf(Outcome outcome);

}  // namespace bw
