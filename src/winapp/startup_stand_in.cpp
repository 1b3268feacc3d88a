#include "winapp/startup_stand_in.h"

namespace bw::winapp {

void ShowStationStartupState(window::StationWindowView& view, const std::string& imageFile) {
    window::StationHeader header;
    const std::size_t slash = imageFile.find_last_of("/\\");
    header.image = {slash == std::string::npos ? imageFile : imageFile.substr(slash + 1),
                    imageFile};
    view.SetHeader(header);
    view.SetTotals({.yield = "-", .status = "Not started"});
}

}  // namespace bw::winapp
