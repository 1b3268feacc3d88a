// The Windows views' tests, or with --gallery NAME one view in a state to look at.

#include <windows.h>
// clang-format off
#include <commctrl.h>
#include <objbase.h>
// clang-format on

#include <gtest/gtest.h>

#include <cstring>

#include "view_gallery.h"
#include "winapp/gdi_resources.h"

int main(int argc, char** argv) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES |
                                                       ICC_UPDOWN_CLASS | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    bw::winapp::GdiplusSession gdiplus;
    if (argc == 3 && std::strcmp(argv[1], "--gallery") == 0) {
        return bw::winapp::ShowGallery(argv[2]);
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
