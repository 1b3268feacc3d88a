#pragma once
// The main window's design: every control's place, design text, font, limits and initial
// state, band by band, as the Qt window lays them out. The window is 625 x 680 pixels
// outside; its own title bar (26 pixels) and 3-pixel frame are inside that, so the bands
// sit a little closer together than in the Qt window, whose title bar the window manager
// adds outside its 625 x 680 client area.

#include <optional>
#include <string>
#include <vector>

#include "production/result_text.h"
#include "window/main_window_controls.h"

namespace bw::winapp {

inline constexpr int kDesignWidth = 625;
inline constexpr int kDesignHeight = 680;
inline constexpr int kTitleBarHeight = 26;
inline constexpr int kFrameWidth = 3;

inline constexpr Rgb kWindowBackground{239, 235, 222};
inline constexpr Rgb kFrameColour{0, 44, 200};
inline constexpr Rgb kGroupFrameColour{104, 104, 104};
inline constexpr Rgb kPathBackground{192, 220, 192};
inline constexpr Rgb kBlue{0, 0, 255};

struct Place {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool Contains(int px, int py) const {
        return px >= x && px < x + width && py >= y && py < y + height;
    }
};

struct DesignFont {
    const char* face = "Tahoma";
    int pixels = 13;
    bool bold = false;
};

enum class Align { Left, Centre, Right };

struct ControlDesign {
    window::Control control = window::Control::DevTimer;
    Place place;       // in the window, title bar included
    std::string text;  // design text (UTF-8); a group's title
    DesignFont font;
    bool visible = true;
    bool enabled = true;
    bool checked = false;
    int maxLength = 0;  // edit fields; 0: no limit
    std::optional<Rgb> colour;
    Align align = Align::Left;
    bool wordWrap = false;          // labels: long text takes further lines
    std::vector<std::string> rows;  // lists
    int visibleRows = 8;            // lists: rows shown when open
    Rgb background = kWindowBackground;
};

// Every control with a place on screen, in creation order (the keyboard order of the
// focusable ones follows KeyboardOrder).
std::vector<ControlDesign> MainWindowDesign();

// Focusable controls in keyboard order.
std::vector<window::Control> KeyboardOrder();

}  // namespace bw::winapp
