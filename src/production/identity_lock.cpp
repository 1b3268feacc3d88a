#include "production/identity_lock.h"

namespace bw {

LogoAction OnLogoDoubleClick(StationState& state) {
    if (state.VidPidUnlocked) {
        state.VidPidUnlocked = false;
        return LogoAction::Locked;
    }
    ++state.LogoClickCount;
    return state.LogoClickCount % kLogoClicksPerPrompt == 0 ? LogoAction::AskPassword
                                                            : LogoAction::Nothing;
}

bool OnPasswordEntered(StationState& state, bool accepted, std::string_view text) {
    if (!accepted || text != kUnlockPassword) return false;
    state.VidPidUnlocked = true;
    return true;
}

}  // namespace bw
