#include "app/main_form.h"

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>
#include <cmath>

#include "app/null_platform.h"
#include "ui/message_boxes.h"
#include "window/main_window_model.h"

namespace bw {
namespace {

class MainFormTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetMessageBoxHook(
            [this](BoxKind, const QString&, const QString& text) { boxes.push_back(text); });
    }
    void TearDown() override { SetMessageBoxHook({}); }

    NullPlatform platform;
    TForm1 form;
    window::MainWindowModel model{platform, form};
    QStringList boxes;
};

struct ControlState {
    const char* name;
    QString text;
    bool enabled;
    bool hidden;
};

QString TextOf(QWidget* w) {
    if (auto* label = qobject_cast<QLabel*>(w)) return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(w)) return button->text();
    if (auto* edit = qobject_cast<QLineEdit*>(w)) return edit->text();
    if (auto* list = qobject_cast<QComboBox*>(w)) return list->currentText();
    if (auto* group = qobject_cast<QGroupBox*>(w)) return group->title();
    return {};
}

TEST_F(MainFormTest, EveryControlStartsInItsDesignStateWithEnglishCaptions) {
    model.FormCreate(1033);
    const std::vector<ControlState> expected{
        {"Img_MIRQLog", "", true, false},
        {"Img_Find", "", true, true},
        {"Img_NoFind", "", true, false},
        {"lbl_DevStatus", "No Find Mouse", true, false},
        {"lbl_ICType", "MIRQ IC Type:", true, false},
        {"cb_ICType", "KVDE31X", true, false},
        {"lbl_VID", "VID:", true, false},
        {"edt_VID", "3A5C", true, false},
        {"lbl_PID", "PID:", true, false},
        {"edt_PID", "0C21", true, false},
        {"lbl_AutoMode", "Write Mode:", true, false},
        {"cb_AutoRun", "Auto Write", true, false},
        {"lbl_BinFile", "BIN File Path:", true, false},
        {"edt_BinFile", "", false, false},
        {"btn_Load", "Load BIN", true, false},
        {"btn_Write", "Write", false, false},
        {"btn_Verify", "Verify", false, false},
        {"btn_Save", "Save", false, false},
        {"gbWriteConfig", "Write Parameter:", true, false},
        {"lbl_WriteCount", "Total Times", true, false},
        {"edt_AllCnt", "1", true, false},
        {"lbl_WriteType", "Data Format", true, false},
        {"rb_CmdByte2K", "2K Byte", true, false},
        {"rb_CmdByte256", "256 Byte", true, false},
        {"Label1", "*", true, false},
        {"edt_Write256Count", "8", true, false},
        {"lbl_RetryCount", "Retry Times", true, false},
        {"edt_RetryCnt", "3", true, false},
        {"lbl_RetryMode", "Factory Config", true, false},
        {"cb_WriteID", "Write Product ID", true, false},
        {"lbl_sleepTime", "Sleep Time:", true, false},
        {"edt_sleepTime", "100", true, false},
        {"gbResult", "Result:", true, false},
        {"lbl_Result", "PASS", true, true},
        {"lbl_BINDevError", "BIN file not match Mouse", true, true},
        {"lbl_BINICTypeError", "BIN file not match IC Type", true, true},
        {"lbl_CtrlResult", "BIN类型和IC种类不匹配", true, true},
        {"lbl_PassNum", "PASS Number:", true, false},
        {"lbl_PassCnt", "0", true, false},
        {"gbFactoryConfig", "Factory Config", true, false},
        {"lbl_FactoryType", "Product", true, false},
        {"edt_FactoryType", "0005", true, false},
        {"lbl_FactoryDate", "Date", true, false},
        {"edt_FactoryDate", "20200527", true, false},
        {"lbl_FactoryNum", "SN", true, false},
        {"edt_FactoryNum", "000001", true, false},
        {"lbl_Factory", "Factory", true, false},
        {"cb_Factory", "1", true, false},
        {"Label2", "Line", true, false},
        {"cb_FactoryLine", "A", true, false},
        {"Label3", "Station", true, false},
        {"cb_FactoryStation", "1", true, false},
        {"btnReadFactory", "Read", false, false},
    };
    for (const ControlState& c : expected) {
        auto* w = form.findChild<QWidget*>(QString::fromLatin1(c.name));
        ASSERT_NE(w, nullptr) << c.name;
        EXPECT_EQ(TextOf(w), c.text) << c.name;
        EXPECT_EQ(w->isEnabled(), c.enabled) << c.name;
        EXPECT_EQ(w->isHidden(), c.hidden) << c.name;
    }
    EXPECT_TRUE(form.rb_CmdByte2K->isChecked());
    EXPECT_FALSE(form.rb_CmdByte256->isChecked());
    EXPECT_FALSE(form.cb_AutoRun->isChecked());
    EXPECT_FALSE(form.cb_WriteID->isChecked());
    EXPECT_TRUE(form.edt_BinFile->isReadOnly());
    EXPECT_EQ(form.Img_Find->geometry(), form.Img_NoFind->geometry());
    EXPECT_EQ(form.Img_MIRQLog->size(), QSize(200, 66));
    EXPECT_FALSE(form.Img_MIRQLog->pixmap().isNull());
    EXPECT_FALSE(form.Img_Find->pixmap().isNull());
}

TEST_F(MainFormTest, ListsLimitsAndTimer) {
    EXPECT_EQ(form.cb_ICType->count(), 3);
    EXPECT_EQ(form.cb_ICType->itemText(1), "KVDE52xx");
    EXPECT_EQ(form.cb_ICType->itemText(2), "KVDE847");
    EXPECT_TRUE(form.cb_ICType->isEditable());
    EXPECT_EQ(form.cb_ICType->maxVisibleItems(), 6);
    EXPECT_EQ(form.cb_Factory->count(), 8);
    EXPECT_EQ(form.cb_FactoryLine->count(), 26);
    EXPECT_EQ(form.cb_FactoryLine->itemText(25), "Z");
    EXPECT_EQ(form.cb_FactoryStation->itemText(7), "8");

    EXPECT_EQ(form.edt_VID->maxLength(), 4);
    EXPECT_EQ(form.edt_PID->maxLength(), 4);
    EXPECT_EQ(form.edt_AllCnt->maxLength(), 4);
    EXPECT_EQ(form.edt_RetryCnt->maxLength(), 4);
    EXPECT_EQ(form.edt_Write256Count->maxLength(), 4);
    EXPECT_EQ(form.edt_sleepTime->maxLength(), 3);
    EXPECT_EQ(form.edt_FactoryType->maxLength(), 4);
    EXPECT_EQ(form.edt_FactoryDate->maxLength(), 8);
    EXPECT_EQ(form.edt_FactoryNum->maxLength(), 6);

    EXPECT_FALSE(form.DevTimer->isActive());
    EXPECT_EQ(form.DevTimer->interval(), 1000);
    EXPECT_EQ(form.OpenDialog1.NameFilter(), "LoadFile(*.bin) (*.bin)");
    EXPECT_EQ(form.SaveDialog1.NameFilter(), "SaveFile(*.bin) (*.bin)");
    EXPECT_TRUE(form.SaveDialog1.overwritePrompt);
    EXPECT_FALSE(form.OpenDialog1.overwritePrompt);
}

TEST_F(MainFormTest, WindowIsFixedAtDesignSizeWithItsTitle) {
    EXPECT_EQ(form.windowTitle(), "MIRQ Mse Binwright v1.0");
    EXPECT_EQ(form.size(), QSize(625, 680));
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(form.palette().color(QPalette::Window), QColor(239, 235, 222));
}

// Contrast ratio of two colours by their relative luminance (sRGB).
double Contrast(const QColor& a, const QColor& b) {
    const auto luminance = [](const QColor& c) {
        const auto channel = [](double v) {
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) +
               0.0722 * channel(c.blueF());
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TEST_F(MainFormTest, LoadedPathIsDrawnLegiblyOnItsGreenBackground) {
    form.edt_BinFile->setText(QStringLiteral("/srv/line/KVDE31X.bin"));
    ASSERT_FALSE(form.edt_BinFile->isEnabled());
    const QImage drawn = form.edt_BinFile->grab().toImage();
    // Inside the border: the background, and the darkest pixel of the text.
    const QRect inside = drawn.rect().adjusted(3, 3, -3, -3);
    const QColor background(192, 220, 192);
    EXPECT_EQ(QColor(drawn.pixel(inside.right(), inside.center().y())), background);
    QColor darkest = background;
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            const QColor c(drawn.pixel(x, y));
            if (c.lightness() < darkest.lightness()) darkest = c;
        }
    }
    EXPECT_GE(Contrast(darkest, background), 4.5) << darkest.name().toStdString();
}

TEST(WindowPosition, CentresTruncatingTowardZero) {
    EXPECT_EQ(CentredOrigin(1024, DesignWidth), 199);
    EXPECT_EQ(CentredOrigin(625, DesignWidth), 0);
    EXPECT_EQ(CentredOrigin(624, DesignWidth), 0);  // -1 div 2 is 0
    EXPECT_EQ(CentredOrigin(623, DesignWidth), -1);
    EXPECT_EQ(CentredOrigin(620, DesignWidth), -2);
    EXPECT_EQ(CentredOrigin(679, DesignHeight), 0);
    EXPECT_EQ(CentredOrigin(677, DesignHeight), -1);
    EXPECT_EQ(CentredOrigin(600, DesignHeight), -40);
}

TEST(WindowPosition, OnlyChineseAsUsedInChinaIs2052) {
    EXPECT_EQ(WindowsLocaleId(QLocale(QLocale::Chinese, QLocale::China)), 2052u);
    EXPECT_EQ(WindowsLocaleId(QLocale(QLocale::English, QLocale::UnitedStates)), 1033u);
    EXPECT_NE(WindowsLocaleId(QLocale(QLocale::Chinese, QLocale::Taiwan)), 2052u);
    EXPECT_NE(WindowsLocaleId(QLocale(QLocale::Chinese, QLocale::HongKong)), 2052u);
    EXPECT_NE(WindowsLocaleId(QLocale(QLocale::German, QLocale::Germany)), 2052u);
}

TEST_F(MainFormTest, KeyboardOrderFollowsTheBands) {
    const QList<QWidget*> order = form.KeyboardOrder();
    ASSERT_EQ(order.first(), form.cb_ICType);
    ASSERT_EQ(order.last(), form.btnReadFactory);
    QList<QWidget*> chain;
    QWidget* w = form.cb_ICType;
    for (int steps = 0; steps < 500 && chain.size() < order.size(); ++steps) {
        if (order.contains(w) && !chain.contains(w)) chain << w;
        w = w->nextInFocusChain();
    }
    EXPECT_EQ(chain, order);
    const QList<QWidget*> expected{
        form.cb_ICType,       form.btn_Load,          form.btn_Write,         form.btn_Verify,
        form.btn_Save,        form.cb_AutoRun,        form.edt_BinFile,       form.edt_VID,
        form.edt_PID,         form.edt_AllCnt,        form.edt_RetryCnt,      form.cb_WriteID,
        form.rb_CmdByte2K,    form.rb_CmdByte256,     form.edt_Write256Count, form.edt_sleepTime,
        form.edt_FactoryType, form.edt_FactoryDate,   form.edt_FactoryNum,    form.cb_Factory,
        form.cb_FactoryLine,  form.cb_FactoryStation, form.btnReadFactory};
    EXPECT_EQ(order, expected);
    EXPECT_EQ(form.edt_BinFile->focusPolicy(), Qt::NoFocus);
}

// The view copies the window's changes onto its widgets and reports what the operator does.
TEST_F(MainFormTest, TheViewAppliesChangesAndReportsTheOperatorsEvents) {
    using window::Control;
    form.Apply(Control::lbl_CtrlResult, {.text = "Write Pass",
                                         .visible = true,
                                         .textColour = kLime,
                                         .fontPoints = 36,
                                         .toolTip = "why"});
    EXPECT_EQ(form.lbl_CtrlResult->text(), "Write Pass");
    EXPECT_FALSE(form.lbl_CtrlResult->isHidden());
    EXPECT_EQ(form.lbl_CtrlResult->palette().color(QPalette::WindowText), QColor(0, 255, 0));
    EXPECT_EQ(form.lbl_CtrlResult->font().pointSize(), 36);
    EXPECT_EQ(form.lbl_CtrlResult->toolTip(), "why");
    form.Apply(Control::btn_Write, {.enabled = true});
    EXPECT_TRUE(form.btn_Write->isEnabled());
    form.Apply(Control::gbResult, {.text = "Result:", .fontFace = "Courier"});
    EXPECT_EQ(form.gbResult->title(), "Result:");
    EXPECT_EQ(form.gbResult->font().family(), "Courier");
    form.Apply(Control::edt_FactoryNum, {.readOnly = true});
    EXPECT_TRUE(form.edt_FactoryNum->isReadOnly());
    form.Apply(Control::cb_FactoryLine, {.selectedRow = 3});
    EXPECT_EQ(form.cb_FactoryLine->currentText(), "D");
    form.Apply(Control::cb_FactoryLine, {.selectedRow = 40});
    EXPECT_EQ(form.cb_FactoryLine->currentIndex(), -1);
    form.Apply(Control::rb_CmdByte256, {.checked = true});
    EXPECT_FALSE(form.rb_CmdByte2K->isChecked());
    form.SetValue(Control::edt_FactoryNum, 0x1000000);
    EXPECT_EQ(form.edt_FactoryNum->text(), "1000000");
    EXPECT_EQ(form.GetValue(Control::edt_FactoryNum), 0x1000000);

    // Typed: select all, type 12, the second digit makes it 8 (the behaviour hears each key).
    form.show();
    QLineEdit* f = form.edt_Write256Count;
    f->setFocus();
    f->selectAll();
    QTest::keyClicks(f, "12");
    EXPECT_EQ(f->text(), "8");
    QTest::keyClick(f, Qt::Key_Backspace);
    EXPECT_EQ(f->text(), "1");
    EXPECT_TRUE(boxes.isEmpty());

    // The timer's tick and a close go to the behaviour, which keeps the window open during an
    // operation.
    QSignalSpy closed(&form, &TForm1::closed);
    {
        window::MainWindowModel::OperationGuard operation(model);
        EXPECT_FALSE(form.close());
        EXPECT_EQ(form.lbl_DevStatus->text(), "Closing when this operation ends");
        EXPECT_EQ(form.lbl_DevStatus->font().pixelSize(), 17);
    }
    EXPECT_EQ(closed.count(), 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(closed.count(), 1);
    EXPECT_FALSE(form.isVisible());
}

// A path longer than the field is shortened in the middle, never cut inside a letter; the
// identity beside it takes its room.
TEST_F(MainFormTest, ALongBinPathIsShortenedInTheMiddle) {
    using window::Control;
    const QString path = QString(70, QLatin1Char('a')) + QLatin1Char('/') +
                         QString(70, QLatin1Char('b')) + "/line-image.bin";
    form.Apply(Control::lbl_BinIdentity, {.text = "3f2a9c1e", .visible = true});
    form.Apply(Control::edt_BinFile, {.text = path.toStdString(), .toolTip = "whole"});
    const QString shown = form.edt_BinFile->text();
    EXPECT_TRUE(shown.endsWith("line-image.bin")) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QChar(0x2026)));
    EXPECT_GT(form.edt_BinFile->textMargins().right(), 0);
    const int room = form.edt_BinFile->width() - form.edt_BinFile->textMargins().right() - 8;
    EXPECT_LE(QFontMetrics(form.edt_BinFile->font()).horizontalAdvance(shown), room);
    EXPECT_EQ(form.edt_BinFile->toolTip(), "whole");
    form.Apply(Control::lbl_BinIdentity, {.visible = false});
    EXPECT_EQ(form.edt_BinFile->textMargins().right(), 0);
}

// Why an operation did not pass: in small type under the result, left of the pass counter,
// wrapped within its place, cut only where longer than its two lines.
TEST_F(MainFormTest, TheReasonStandsSmallUnderTheResult) {
    using window::Control;
    QLabel* small = form.lbl_ResultReason;
    EXPECT_LT(QFontInfo(small->font()).pixelSize(),
              QFontInfo(form.lbl_CtrlResult->font()).pixelSize());
    EXPECT_TRUE(form.gbResult->rect().contains(small->geometry()));
    EXPECT_FALSE(small->geometry().intersects(form.lbl_PassNum->geometry()));
    EXPECT_TRUE(small->wordWrap());
    const std::string shortText = "the mouse did not answer (no-answer) at block 3, piece 2";
    form.Apply(Control::lbl_ResultReason, {.text = shortText, .visible = true});
    EXPECT_EQ(small->text().toStdString(), shortText);
    EXPECT_LE(small->heightForWidth(small->width()), small->height());
    std::string longText;
    while (longText.size() < 400) longText += "the read-back differs ";
    form.Apply(Control::lbl_ResultReason, {.text = longText});
    EXPECT_LT(small->text().size(), static_cast<qsizetype>(longText.size()));
    EXPECT_TRUE(small->text().endsWith(QChar(0x2026)));
}

TEST_F(MainFormTest, IcTypeIndexFollowsTheListText) {
    using window::Control;
    EXPECT_EQ(form.SelectedRow(Control::cb_ICType), 0);
    form.cb_ICType->setCurrentIndex(2);
    EXPECT_EQ(form.SelectedRow(Control::cb_ICType), 2);
    form.cb_ICType->setEditText("KVDE9");
    EXPECT_EQ(form.SelectedRow(Control::cb_ICType), -1);
    form.cb_ICType->setEditText("KVDE52xx");
    EXPECT_EQ(form.SelectedRow(Control::cb_ICType), 1);
}

}  // namespace
}  // namespace bw
