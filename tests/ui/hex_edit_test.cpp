#include "ui/hex_edit.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <limits>

#include "production/conversion_error.h"

namespace bw {
namespace {

std::string ConversionMessage(const std::function<void()>& read) {
    try {
        read();
    } catch (const ConversionError& error) {
        return error.what();
    }
    return "no error";
}

class NumberFieldTest : public ::testing::Test {
  protected:
    void SetUp() override {
        window.resize(300, 100);
        hex = new THexEdit(&window);
        dec = new TIntEdit(&window);
        dec->move(0, 40);
        window.show();
        QApplication::clipboard()->clear();
    }

    QWidget window;
    THexEdit* hex = nullptr;
    TIntEdit* dec = nullptr;
};

TEST_F(NumberFieldTest, TypedCharactersOutsideTheDigitSetChangeNothing) {
    hex->setFocus();
    QTest::keyClicks(hex, "g-$ 1aFz9");
    EXPECT_EQ(hex->text(), "1aF9");
    QTest::keyClick(hex, Qt::Key_Backspace);
    EXPECT_EQ(hex->text(), "1aF");

    dec->setFocus();
    QTest::keyClicks(dec, "1a2-b3 ");
    EXPECT_EQ(dec->text(), "123");
    QTest::keyClick(dec, Qt::Key_Backspace);
    EXPECT_EQ(dec->text(), "12");
}

TEST_F(NumberFieldTest, FilterOffAcceptsAnything) {
    EXPECT_TRUE(hex->IsFilter());
    hex->SetIsFilter(false);
    QTest::keyClicks(hex, "x-1 ");
    EXPECT_EQ(hex->text(), "x-1 ");
    EXPECT_THROW(hex->GetValue(), ConversionError);
}

TEST_F(NumberFieldTest, PasteOfInvalidTextIsRefusedValidTextArrives) {
    dec->setText("7");
    dec->end(false);
    QApplication::clipboard()->setText("12a");
    dec->paste();
    EXPECT_EQ(dec->text(), "7");
    QTest::keyClick(dec, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(dec->text(), "7");

    QApplication::clipboard()->setText("45");
    QTest::keyClick(dec, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(dec->text(), "745");
    EXPECT_EQ(dec->GetValue(), 745);

    QApplication::clipboard()->setText("c0de");
    hex->paste();
    EXPECT_EQ(hex->text(), "c0de");
    QApplication::clipboard()->setText("c0 de");
    hex->paste();
    EXPECT_EQ(hex->text(), "c0de");
}

TEST_F(NumberFieldTest, CopyOfTheFieldWorks) {
    hex->setText("3A5C");
    hex->selectAll();
    QTest::keyClick(hex, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "3A5C");
}

TEST_F(NumberFieldTest, DroppedInvalidTextIsRefused) {
    QMimeData bad;
    bad.setText("zz");
    const QPointF at(5, 5);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &bad, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(dec, &enter);
    QDropEvent drop(at, Qt::CopyAction, &bad, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(dec, &drop);
    EXPECT_EQ(dec->text(), "");

    QMimeData good;
    good.setText("31");
    QDragEnterEvent enter2(at.toPoint(), Qt::CopyAction, &good, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(dec, &enter2);
    QDropEvent drop2(at, Qt::CopyAction, &good, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(dec, &drop2);
    EXPECT_EQ(dec->text(), "31");
}

TEST_F(NumberFieldTest, ProgrammaticTextStillFailsToConvert) {
    dec->setText("12a");
    EXPECT_EQ(ConversionMessage([this] { dec->GetValue(); }),
              "'012a' is not a valid integer value");
    hex->setText("123456789");
    EXPECT_EQ(ConversionMessage([this] { hex->GetValue(); }),
              "'$0123456789' is not a valid integer value");
}

TEST_F(NumberFieldTest, SetValueWritesTextAndRaisesTheChange) {
    QSignalSpy changes(hex, &QLineEdit::textChanged);
    hex->setText("FFFFFFFF");
    EXPECT_EQ(hex->GetValue(), -1);
    hex->SetValue(hex->GetValue());
    EXPECT_EQ(hex->text(), "");
    EXPECT_EQ(hex->GetValue(), 0);
    hex->SetValue(4096);
    EXPECT_EQ(hex->text(), "1000");
    EXPECT_EQ(changes.count(), 3);

    dec->SetValue(0);
    EXPECT_EQ(dec->text(), "");
    dec->SetValue(100);
    EXPECT_EQ(dec->text(), "100");
    EXPECT_EQ(dec->GetValue(), 100);
}

// The length limit keeps typing short; a value written into the field is shown whole,
// or FFFFFF + 1 would read back as 100000 and that number be given out again.
TEST_F(NumberFieldTest, SetValueShowsTheWholeValueWhateverTheLengthLimit) {
    hex->setMaxLength(6);
    hex->SetValue(0xFFFFFF + 1);
    EXPECT_EQ(hex->text(), "1000000");
    EXPECT_EQ(hex->GetValue(), 0x1000000);
    dec->setMaxLength(3);
    dec->SetValue(12345);
    EXPECT_EQ(dec->GetValue(), 12345);
}

TEST_F(NumberFieldTest, AlignmentMapsOntoTheField) {
    EXPECT_EQ(hex->Alignment(), TMIRQEdit::TAlignment::Left);
    EXPECT_TRUE(hex->alignment() & Qt::AlignLeft);
    hex->SetAlignment(TMIRQEdit::TAlignment::Right);
    EXPECT_TRUE(hex->alignment() & Qt::AlignRight);
    hex->SetAlignment(TMIRQEdit::TAlignment::Centre);
    EXPECT_TRUE(hex->alignment() & Qt::AlignHCenter);
}

}  // namespace
}  // namespace bw
