#pragma once
// The lock on the USB identity fields: five double-clicks on the logo ask for the
// password, the right one unlocks VID and PID, the next double-click locks them again.

#include <string_view>

#include "production/station_state.h"

namespace bw {

inline constexpr std::string_view kUnlockPassword = "GlimmerQX";

// Double-clicks between two showings of the password dialog.
inline constexpr int kLogoClicksPerPrompt = 5;

enum class LogoAction {
    Nothing,      // counted, nothing shown
    AskPassword,  // show the password dialog, then call OnPasswordEntered
    Locked,       // identity controls disabled again; show the message "Locked"
};

// One double-click on the logo. When unlocked it locks and is not counted;
// otherwise it is counted and every fifth asks for the password.
LogoAction OnLogoDoubleClick(StationState& state);

// The password dialog closed: accepted is true for OK, text is the dialog's
// confirmed entry. Unlocks and returns true only for OK with the exact password;
// anything else changes nothing.
bool OnPasswordEntered(StationState& state, bool accepted, std::string_view text);

}  // namespace bw
