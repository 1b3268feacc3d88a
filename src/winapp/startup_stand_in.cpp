#include "winapp/startup_stand_in.h"

#include <windows.h>

#include "production/lang.h"
#include "window/main_window_captions.h"

namespace bw::winapp {

std::uint8_t ThreadUiLanguage() {
    return UiLanguageForLocale(static_cast<std::uint32_t>(GetThreadLocale()));
}

void ShowStartupState(window::MainWindowView& view, std::uint8_t uiLanguage) {
    view.Apply(window::Control::lbl_PassCnt, {.text = "0"});
    const std::string face(CaptionFontFace(uiLanguage));
    for (const window::Control control : window::kFacedControls) {
        view.Apply(control, {.fontFace = face});
    }
    for (const window::CaptionedControl& captioned : window::kCaptionedControls) {
        view.Apply(captioned.control,
                   {.text = std::string(GetCaption(captioned.caption, uiLanguage))});
    }
}

void ShowStationStartupState(window::StationWindowView& view, const std::string& imageFile) {
    window::StationHeader header;
    const std::size_t slash = imageFile.find_last_of("/\\");
    header.image = {slash == std::string::npos ? imageFile : imageFile.substr(slash + 1),
                    imageFile};
    view.SetHeader(header);
    view.SetTotals({.yield = "-", .status = "Not started"});
}

}  // namespace bw::winapp
