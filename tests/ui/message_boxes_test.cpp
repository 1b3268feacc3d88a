#include "ui/message_boxes.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <vector>

namespace {

using bw::BoxKind;

TEST(ErrorBoxText, PeriodOnlyAfterACharacterThatSortsAfterIt) {
    // The conversion error of the numeric fields ends in a letter.
    EXPECT_EQ(bw::ErrorBoxText("'012a' is not a valid integer value"),
              "'012a' is not a valid integer value.");
    EXPECT_EQ(bw::ErrorBoxText("Range 0..9"), "Range 0..9.");  // '9' sorts after '.'
    EXPECT_EQ(bw::ErrorBoxText("Bad value: /"), "Bad value: /.");

    for (const char* unchanged : {"Done.", "Stop!", "(see log)", "ends with -", "a, b,", "x ",
                                  "Cannot open \"x.bin\"", "it's '", ""}) {
        EXPECT_EQ(bw::ErrorBoxText(unchanged), unchanged);
    }
    // Characters beyond ASCII sort after '.'.
    EXPECT_EQ(bw::ErrorBoxText(QString::fromUtf8("Fehler: ü")), QString::fromUtf8("Fehler: ü."));
}

struct Seen {
    BoxKind kind;
    QString caption;
    QString text;
};

class Boxes : public ::testing::Test {
  protected:
    void SetUp() override {
        bw::SetMessageBoxHook([this](BoxKind kind, const QString& caption, const QString& text) {
            seen.push_back({kind, caption, text});
        });
    }
    void TearDown() override { bw::SetMessageBoxHook({}); }

    std::vector<Seen> seen;
};

TEST_F(Boxes, HookReceivesWhatTheBoxWouldShow) {
    bw::ShowErrorBox(nullptr, "'012a' is not a valid integer value");
    bw::ShowMessage(nullptr, "Locked");
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].kind, BoxKind::Error);
    EXPECT_EQ(seen[0].caption, "MIRQ Binwright");
    EXPECT_EQ(seen[0].text, "'012a' is not a valid integer value.");
    // The plain message box keeps its text as given.
    EXPECT_EQ(seen[1].kind, BoxKind::Message);
    EXPECT_EQ(seen[1].caption, "MIRQ Binwright");
    EXPECT_EQ(seen[1].text, "Locked");
}

// Without a hook the real modal boxes come up; read them and press OK.
TEST(RealBoxes, CaptionIconAndSingleOkButton) {
    struct Case {
        void (*show)(QWidget*, const QString&);
        QMessageBox::Icon icon;
        const char* text;
    };
    for (const Case& c : {Case{bw::ShowErrorBox, QMessageBox::Critical, "Broken."},
                          Case{bw::ShowMessage, QMessageBox::NoIcon, "Locked"}}) {
        QString title, text;
        QMessageBox::Icon icon = QMessageBox::Warning;
        int buttons = 0;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            buttons = static_cast<int>(box->buttons().size());
            box->button(QMessageBox::Ok)->click();
        });
        c.show(nullptr, c.text);
        EXPECT_EQ(title, "MIRQ Binwright");
        EXPECT_EQ(text, c.text);
        EXPECT_EQ(icon, c.icon);
        EXPECT_EQ(buttons, 1);
    }
}

}  // namespace
