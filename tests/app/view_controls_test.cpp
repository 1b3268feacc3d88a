// The control names, kinds and caption rows every view is driven by must be the Qt
// window's own: a name or kind that drifts would leave a control the behaviour can no
// longer reach.

#include <gtest/gtest.h>

#include <QTimer>

#include "app/main_form.h"
#include "app/null_platform.h"
#include "production/lang.h"
#include "window/main_window_captions.h"
#include "window/main_window_controls.h"
#include "window/main_window_model.h"

namespace bw {
namespace {

using window::ControlKind;

bool HasKind(QObject* object, ControlKind kind) {
    switch (kind) {
        case ControlKind::Image:
            return qobject_cast<TImage*>(object) != nullptr;
        case ControlKind::Label:
            return qobject_cast<QLabel*>(object) != nullptr;
        case ControlKind::Button:
            return qobject_cast<QPushButton*>(object) != nullptr;
        case ControlKind::CheckBox:
            return qobject_cast<QCheckBox*>(object) != nullptr;
        case ControlKind::RadioButton:
            return qobject_cast<QRadioButton*>(object) != nullptr;
        case ControlKind::HexField:
            return qobject_cast<THexEdit*>(object) != nullptr &&
                   qobject_cast<TIntEdit*>(object) == nullptr;
        case ControlKind::IntField:
            return qobject_cast<TIntEdit*>(object) != nullptr;
        case ControlKind::TextField:
            return qobject_cast<QLineEdit*>(object) != nullptr &&
                   qobject_cast<THexEdit*>(object) == nullptr;
        case ControlKind::List:
            return qobject_cast<QComboBox*>(object) != nullptr;
        case ControlKind::Group:
            return qobject_cast<QGroupBox*>(object) != nullptr;
        case ControlKind::Frame:
            return qobject_cast<QFrame*>(object) != nullptr &&
                   qobject_cast<QLabel*>(object) == nullptr;
        case ControlKind::Timer:
            return qobject_cast<QTimer*>(object) != nullptr;
    }
    return false;
}

TEST(ViewControls, EveryNamedControlIsTheQtWindowsOwnOfTheSameKind) {
    TForm1 form;
    for (const window::ControlInfo& info : window::kControls) {
        const QString name = QString::fromLatin1(info.name.data(), info.name.size());
        QObject* found = form.findChild<QObject*>(name);
        ASSERT_NE(found, nullptr) << info.name.data();
        EXPECT_TRUE(HasKind(found, info.kind)) << info.name.data();
        EXPECT_EQ(window::ControlNamed(info.name), info.control);
    }
    EXPECT_EQ(window::ControlNamed("btn_Nothing"), std::nullopt);
}

TEST(ViewControls, CaptionRowsAndFacesAreTheOnesTheQtWindowApplies) {
    NullPlatform platform;
    TForm1 form;
    window::MainWindowModel model(platform, form);
    for (const std::uint32_t locale : {1033u, 2052u}) {
        model.SelectUiLanguage(locale);
        const std::uint8_t language = UiLanguageForLocale(locale);
        for (const window::CaptionedControl& c : window::kCaptionedControls) {
            const std::string_view name = window::NameOf(c.control);
            auto* widget = form.findChild<QWidget*>(QString::fromLatin1(name.data(), name.size()));
            ASSERT_NE(widget, nullptr);
            QString text;
            if (auto* label = qobject_cast<QLabel*>(widget)) text = label->text();
            if (auto* button = qobject_cast<QAbstractButton*>(widget)) text = button->text();
            if (auto* group = qobject_cast<QGroupBox*>(widget)) text = group->title();
            EXPECT_EQ(text.toStdString(), GetCaption(c.caption, language)) << name.data();
        }
        for (const window::Control control : window::kFacedControls) {
            const std::string_view name = window::NameOf(control);
            auto* widget = form.findChild<QWidget*>(QString::fromLatin1(name.data(), name.size()));
            ASSERT_NE(widget, nullptr);
            EXPECT_EQ(widget->font().family().toStdString(), CaptionFontFace(language))
                << name.data();
        }
    }
}

}  // namespace
}  // namespace bw
