// The handlers of the window itself: the logo, the IC type change, the block count and the
// load of a BIN file.

#include <stdexcept>

#include "image/bin_file.h"
#include "image/ic_types.h"
#include "production/ic_type_change.h"
#include "production/identity_lock.h"
#include "window/main_window_model.h"

namespace bw::window {

namespace {

constexpr std::array kIdentityControls{Control::lbl_VID, Control::edt_VID, Control::lbl_PID,
                                       Control::edt_PID};

// The name of a path's file, after its last separator.
std::string FileNameOf(const std::string& path) {
#ifdef _WIN32
    const std::size_t slash = path.find_last_of("/\\");
#else
    const std::size_t slash = path.rfind('/');
#endif
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

void MainWindowModel::edt_VIDChange() {}

void MainWindowModel::edt_PIDChange() {}

// Keeps the 256-byte block count in 1..8; runs again on its own change.
void MainWindowModel::edt_Write256CountChange() {
    const std::int32_t count = view_.GetValue(Control::edt_Write256Count);
    if (count < 1) {
        view_.SetValue(Control::edt_Write256Count, 1);
    } else if (count > 8) {
        view_.SetValue(Control::edt_Write256Count, 8);
    }
}

// Locks the identity fields, or on every fifth double-click asks for the password
// that unlocks them.
void MainWindowModel::Img_MIRQLogDblClick() {
    switch (OnLogoDoubleClick(station)) {
        case LogoAction::Nothing:
            return;
        case LogoAction::Locked:
            for (const Control control : kIdentityControls) SetUsable(control, false);
            view_.ShowMessage("Locked");
            return;
        case LogoAction::AskPassword: {
            const std::optional<std::string> entry = view_.AskPassword(passwordEntry_);
            if (entry) passwordEntry_ = *entry;
            if (OnPasswordEntered(station, entry.has_value(), passwordEntry_)) {
                for (const Control control : kIdentityControls) SetUsable(control, true);
            }
            return;
        }
    }
}

// A new IC type: the loaded image and the pass count no longer count, polling
// stops until an image is loaded for the new type, and VID and PID take its defaults.
void MainWindowModel::cb_ICTypeChange() {
    ShowImageIdentity(std::nullopt);
    ShowBinFilePath({});
    const std::optional<IdentityDefaults> identity = OnIcTypeChange(station, state, IcTypeIndex());
    SetText(Control::lbl_PassCnt, "0");
    HideLoadResultLabels();
    view_.StopTimer();
    if (identity) {
        SetText(Control::edt_VID, std::string(identity->vid));
        SetText(Control::edt_PID, std::string(identity->pid));
    }
}

void MainWindowModel::HideLoadResultLabels() {
    Show(Control::lbl_Result, false);
    Show(Control::lbl_BINDevError, false);
    Show(Control::lbl_BINICTypeError, false);
}

void MainWindowModel::ImageReady() {
    HideLoadResultLabels();
    station.ImageLoaded = true;
    view_.StartTimer();
}

// Loads a BIN file as the image of the selected IC type. From the first step on no
// image counts as loaded and polling is off, whatever follows.
void MainWindowModel::btn_LoadClick() {
    station.forgetImage(state);
    HideLoadResultLabels();
    view_.StopTimer();
    ShowImageIdentity(std::nullopt);

    const std::optional<std::string> chosen = view_.ChooseOpenFile();
    if (!chosen || chosen->empty()) return;
    const std::string path = *chosen;
    ShowBinFilePath(path);

    Image loaded{};
    const BinLoadResult result = LoadBinFile(path, loaded);
    if (result.error == BinLoadError::CannotOpen) throw std::runtime_error(result.message);
    if (result.error != BinLoadError::None) {
        Show(Control::lbl_BINICTypeError, true);
        return;
    }
    const ImageIdentity identity = IdentifyImage(loaded);
    if (approvedSha256) {
        const std::string refusal = ApprovalFailure(FileNameOf(path), identity, *approvedSha256);
        if (!refusal.empty()) {
            // Nothing may suggest the refused image is loaded.
            ShowBinFilePath({});
            throw std::runtime_error(refusal);
        }
    }
    const IcType* row = IcTypeAt(IcTypeIndex());
    if (row == nullptr) return;
    station.loadImage(loaded, std::string(row->rowText), identity);
    station.handImageTo(state);
    ShowImageIdentity(identity);
    ImageReady();
}

void MainWindowModel::ShowImageIdentity(const std::optional<ImageIdentity>& identity) {
    if (!identity) {
        identityTip_.clear();
        Set(Control::lbl_BinIdentity, {.text = "", .visible = false, .toolTip = ""});
    } else {
        identityTip_ = "SHA-256 " + identity->sha256Hex() + "\nCRC-32 " + identity->crc32Hex();
        Set(Control::lbl_BinIdentity,
            {.text = identity->shortText(), .visible = true, .toolTip = identityTip_});
    }
    ShowBinFilePath(BinFilePath);
}

void MainWindowModel::ShowBinFilePath(const std::string& path) {
    BinFilePath = path;
    std::string tip = path;
    if (Shown(Control::lbl_BinIdentity) && !identityTip_.empty()) tip += "\n" + identityTip_;
    Set(Control::edt_BinFile, {.text = path, .toolTip = tip});
}

}  // namespace bw::window
