// The Windows window is laid out from its own design table (src/winapp/main_window_design.cpp,
// plain data); it mirrors the Qt window's. A place, font, limit, row or first state changed
// in one and not the other would make the two windows differ: this holds them together.

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>

#include "app/main_form.h"
#include "app/null_platform.h"
#include "winapp/main_window_design.h"
#include "window/main_window_captions.h"
#include "window/main_window_model.h"

namespace bw {
namespace {

using window::Control;
using window::ControlKind;

QWidget* Widget(TForm1& form, Control control) {
    const std::string_view name = window::NameOf(control);
    return form.findChild<QWidget*>(QString::fromLatin1(name.data(), name.size()));
}

bool Captioned(Control control) {
    return std::any_of(
        window::kCaptionedControls.begin(), window::kCaptionedControls.end(),
        [control](const window::CaptionedControl& c) { return c.control == control; });
}

bool Faced(Control control) {
    return std::find(window::kFacedControls.begin(), window::kFacedControls.end(), control) !=
           window::kFacedControls.end();
}

// How far down the Windows window puts each band: its title bar is inside its 625 x 680.
int BandShift(TForm1& form, QWidget* widget) {
    for (QWidget* w = widget; w != nullptr && w != &form; w = w->parentWidget()) {
        if (w == form.gbWriteConfig) return 6;
        if (w == form.gbResult) return 4;
        if (w == form.gbFactoryConfig) return 2;
    }
    const int y = widget->mapTo(&form, QPoint(0, 0)).y();
    if (y < 90) return 20;
    if (y < 200) return 14;
    return 10;
}

TEST(Win32LayoutMirror, EveryControlSitsWhereTheQtWindowHasItWithItsFontAndFirstState) {
    NullPlatform platform;
    TForm1 form;
    window::MainWindowModel model(platform, form);
    model.SelectUiLanguage(1033);
    const std::vector<winapp::ControlDesign> designs = winapp::MainWindowDesign();
    // Every control with a place, once.
    EXPECT_EQ(designs.size(), static_cast<std::size_t>(window::kControlCount - 1));
    for (const winapp::ControlDesign& d : designs) {
        const char* name = window::NameOf(d.control).data();
        QWidget* widget = Widget(form, d.control);
        ASSERT_NE(widget, nullptr) << name;
        const QPoint at = widget->mapTo(&form, QPoint(0, 0));
        EXPECT_EQ(d.place.x, at.x()) << name;
        EXPECT_EQ(d.place.y, at.y() + BandShift(form, widget)) << name;
        EXPECT_EQ(d.place.width, widget->width()) << name;
        EXPECT_EQ(d.place.height, widget->height()) << name;
        // Inside the frame, below the title bar.
        EXPECT_GE(d.place.x, winapp::kFrameWidth) << name;
        EXPECT_GE(d.place.y, winapp::kTitleBarHeight) << name;
        EXPECT_LE(d.place.x + d.place.width, winapp::kDesignWidth - winapp::kFrameWidth) << name;
        EXPECT_LE(d.place.y + d.place.height, winapp::kDesignHeight - winapp::kFrameWidth) << name;

        const ControlKind kind = window::KindOf(d.control);
        if (kind != ControlKind::Image && kind != ControlKind::Frame) {
            const QFont font = widget->font();
            EXPECT_EQ(d.font.pixels, font.pixelSize()) << name;
            EXPECT_EQ(d.font.bold, font.bold()) << name;
            if (!Faced(d.control)) {
                EXPECT_EQ(font.family().toStdString(), d.font.face) << name;
            }
        }
        EXPECT_EQ(d.visible, !widget->isHidden()) << name;
        // Disabled of its own (lbl_BinIdentity is enabled, inside the disabled path field).
        EXPECT_EQ(d.enabled, !widget->testAttribute(Qt::WA_ForceDisabled)) << name;

        if (auto* field = qobject_cast<THexEdit*>(widget)) {
            EXPECT_EQ(d.maxLength, field->maxLength()) << name;
            EXPECT_EQ(d.text, field->text().toStdString()) << name;
        }
        if (auto* list = qobject_cast<QComboBox*>(widget)) {
            ASSERT_EQ(d.rows.size(), static_cast<std::size_t>(list->count())) << name;
            for (int i = 0; i < list->count(); ++i) {
                EXPECT_EQ(d.rows[static_cast<std::size_t>(i)], list->itemText(i).toStdString());
            }
            if (d.control == Control::cb_ICType) {
                EXPECT_EQ(d.visibleRows, list->maxVisibleItems());
            }
        }
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            if (!Captioned(d.control)) {
                EXPECT_EQ(d.text, button->text().toStdString()) << name;
            }
            if (button->isCheckable()) {
                EXPECT_EQ(d.checked, button->isChecked()) << name;
            }
        }
        if (auto* label = qobject_cast<QLabel*>(widget);
            label != nullptr && kind == ControlKind::Label) {
            if (!Captioned(d.control) && d.control != Control::lbl_PassCnt) {
                EXPECT_EQ(d.text, label->text().toStdString()) << name;
            }
            const Qt::Alignment h = label->alignment() & Qt::AlignHorizontal_Mask;
            const winapp::Align align = h == Qt::AlignHCenter ? winapp::Align::Centre
                                        : h == Qt::AlignRight ? winapp::Align::Right
                                                              : winapp::Align::Left;
            EXPECT_EQ(d.align, align) << name;
            EXPECT_EQ(d.wordWrap, label->wordWrap()) << name;
            if (d.colour) {
                const QColor c = label->palette().color(QPalette::WindowText);
                EXPECT_EQ(
                    (Rgb{static_cast<std::uint8_t>(c.red()), static_cast<std::uint8_t>(c.green()),
                         static_cast<std::uint8_t>(c.blue())}),
                    *d.colour)
                    << name;
            }
        }
    }
}

// Moving the bands closer together must not make controls run into each other: only the
// result labels lie on one another, the image's identity on its path, and frames round
// their controls.
TEST(Win32LayoutMirror, NothingOverlapsButTheStacksAndTheFramesRoundTheirControls) {
    const std::vector<winapp::ControlDesign> designs = winapp::MainWindowDesign();
    const auto container = [](Control c) {
        const ControlKind kind = window::KindOf(c);
        return kind == ControlKind::Group || kind == ControlKind::Frame;
    };
    const auto stacked = [](Control a, Control b) {
        const auto in = [](Control c, std::initializer_list<Control> set) {
            return std::find(set.begin(), set.end(), c) != set.end();
        };
        const std::initializer_list<Control> results{
            Control::lbl_Result, Control::lbl_BINDevError, Control::lbl_BINICTypeError,
            Control::lbl_CtrlResult, Control::lbl_ResultReason};
        const std::initializer_list<Control> path{Control::edt_BinFile, Control::lbl_BinIdentity};
        const std::initializer_list<Control> discs{Control::Img_Find, Control::Img_NoFind};
        return (in(a, results) && in(b, results)) || (in(a, path) && in(b, path)) ||
               (in(a, discs) && in(b, discs));
    };
    const auto overlap = [](const winapp::Place& p, const winapp::Place& q) {
        return p.x < q.x + q.width && q.x < p.x + p.width && p.y < q.y + q.height &&
               q.y < p.y + p.height;
    };
    const auto inside = [](const winapp::Place& inner, const winapp::Place& outer) {
        return inner.x >= outer.x && inner.y >= outer.y &&
               inner.x + inner.width <= outer.x + outer.width &&
               inner.y + inner.height <= outer.y + outer.height;
    };
    for (const winapp::ControlDesign& a : designs) {
        for (const winapp::ControlDesign& b : designs) {
            if (a.control >= b.control || !overlap(a.place, b.place)) continue;
            if (stacked(a.control, b.control)) continue;
            const bool framed = (container(a.control) && inside(b.place, a.place)) ||
                                (container(b.control) && inside(a.place, b.place));
            EXPECT_TRUE(framed) << window::NameOf(a.control) << " runs into "
                                << window::NameOf(b.control);
        }
    }
}

TEST(Win32LayoutMirror, TheKeyboardGoesThroughTheSameControlsInTheSameOrder) {
    TForm1 form;
    const QList<QWidget*> qt = form.KeyboardOrder();
    std::vector<Control> win32 = winapp::KeyboardOrder();
    // The Qt order keeps edt_BinFile in its place but never gives it the focus.
    std::vector<std::string> qtNames;
    for (QWidget* w : qt) {
        if (w != form.edt_BinFile) qtNames.push_back(w->objectName().toStdString());
    }
    std::vector<std::string> winNames;
    for (Control c : win32) winNames.emplace_back(window::NameOf(c));
    EXPECT_EQ(winNames, qtNames);
}

}  // namespace
}  // namespace bw
