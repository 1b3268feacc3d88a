#include "ui/pass_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <functional>

#include "ui/placement.h"

namespace {

using bw::TPassDialog;

struct Shown {
    QString fieldText;  // what the field held when the dialog came up
    int result = -1;
};

QLineEdit* Field(QDialog& d) {
    return d.findChild<QLineEdit*>(QStringLiteral("Value"));
}
QPushButton* Button(QDialog& d, const char* name) {
    return d.findChild<QPushButton*>(QLatin1String(name));
}

void Key(QWidget* target, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
}

void Type(QDialog& d, const QString& text) {
    QLineEdit* field = Field(d);
    field->selectAll();
    field->insert(text);
}

// One showing of the dialog; `act` runs while it is on screen and should close it.
Shown ShowOnce(TPassDialog& dialog, const std::function<void(QDialog&)>& act,
               QWidget* main = nullptr) {
    Shown seen;
    const auto connection = QObject::connect(&dialog, &TPassDialog::shown, [&](QDialog* d) {
        // Safety net so a broken close path fails instead of hanging.
        QTimer::singleShot(5000, d, &QDialog::reject);
        seen.fieldText = Field(*d)->text();
        act(*d);
    });
    seen.result = dialog.Execute(main);
    QObject::disconnect(connection);
    return seen;
}

TEST(PassDialog, ValueTextSurvivesOnlyOkConfirmedEntries) {
    TPassDialog dialog;

    // First showing: empty; OK confirms the entry.
    Shown first = ShowOnce(dialog, [](QDialog& d) {
        Type(d, "secret");
        Button(d, "OK")->click();
    });
    EXPECT_TRUE(first.fieldText.isEmpty());
    EXPECT_EQ(first.result, QDialog::Accepted);
    EXPECT_EQ(dialog.ValueText, "secret");

    // Each way out other than OK leaves the value alone; the next showing starts with it.
    const std::function<void(QDialog&)> cancels[] = {
        [](QDialog& d) { Button(d, "Cancel")->click(); },
        [](QDialog& d) { Key(Field(d), Qt::Key_Escape); },
        [](QDialog& d) { d.close(); },
    };
    for (const auto& cancel : cancels) {
        Shown again = ShowOnce(dialog, [&](QDialog& d) {
            Type(d, "typed but dropped");
            cancel(d);
        });
        EXPECT_EQ(again.fieldText, "secret");
        EXPECT_EQ(again.result, QDialog::Rejected);
        EXPECT_EQ(dialog.ValueText, "secret");
    }

    // Enter in the field confirms, even with an empty entry.
    Shown enter = ShowOnce(dialog, [](QDialog& d) {
        Type(d, "");
        Key(Field(d), Qt::Key_Return);
    });
    EXPECT_EQ(enter.result, QDialog::Accepted);
    EXPECT_TRUE(dialog.ValueText.isEmpty());
}

// Centred over the main window, but never past the screen's edge, wherever that window is.
TEST(PassDialog, OpensInsideTheScreen) {
    const QRect screen(0, 0, 1024, 768);
    const QSize own(262, 206);
    for (const QRect& main :
         {QRect(-500, -300, 635, 711), QRect(900, 700, 635, 711), QRect(200, 30, 635, 711)}) {
        const QPoint origin = bw::CentredOverInside(main, own, screen);
        EXPECT_TRUE(screen.contains(QRect(origin, own))) << origin.x() << "," << origin.y();
        if (screen.contains(main)) {
            EXPECT_EQ(origin, bw::CentredOver(main, own));
        }
    }
    QWidget main;
    main.setGeometry(-560, -600, 625, 680);
    main.show();
    TPassDialog dialog;
    ShowOnce(
        dialog,
        [&](QDialog& d) {
            const QRect available = d.screen()->availableGeometry();
            EXPECT_TRUE(available.contains(d.frameGeometry()));
            d.reject();
        },
        &main);
}

TEST(PassDialog, WindowLayoutAndSettings) {
    QWidget main;
    main.setGeometry(300, 200, 625, 680);
    main.show();

    TPassDialog dialog;
    dialog.ValueText = "abc";
    ShowOnce(
        dialog,
        [&](QDialog& d) {
            EXPECT_EQ(d.windowTitle(), "MIRQ Binwright ");
            EXPECT_EQ(d.size(), QSize(254, 177));
            EXPECT_EQ(d.minimumSize(), d.maximumSize());  // fixed border
            EXPECT_TRUE(d.isModal());
            // Frame over frame: the title bar and border count on both windows; inside the
            // screen.
            EXPECT_EQ(d.pos(), bw::CentredOverInside(main.frameGeometry(), d.frameGeometry().size(),
                                                     d.screen()->availableGeometry()));
            EXPECT_EQ(d.font().family(), "MS Sans Serif");
            EXPECT_EQ(d.font().pixelSize(), 11);

            EXPECT_EQ(d.findChild<QLabel*>(QStringLiteral("Prompt"))->text(), "PASSWORD:");
            QLineEdit* field = Field(d);
            EXPECT_EQ(field->width(), 201);
            EXPECT_EQ(field->echoMode(), QLineEdit::Password);
            EXPECT_EQ(field->displayText(), "***");
            EXPECT_EQ(d.focusWidget(), field);

            QPushButton* ok = Button(d, "OK");
            QPushButton* cancel = Button(d, "Cancel");
            EXPECT_EQ(ok->text(), "OK");
            EXPECT_EQ(cancel->text(), "Cancel");
            EXPECT_TRUE(ok->isDefault());
            EXPECT_FALSE(cancel->isDefault());
            // 254 div 2 - 73 - 8 and 254 div 2 + 8.
            EXPECT_EQ(ok->geometry(), QRect(46, 120, 73, 25));
            EXPECT_EQ(cancel->geometry(), QRect(135, 120, 73, 25));
            EXPECT_EQ(ok->cursor().shape(), Qt::PointingHandCursor);
            EXPECT_EQ(cancel->cursor().shape(), Qt::PointingHandCursor);
            d.reject();
        },
        &main);

    // The window is gone after the showing.
    EXPECT_TRUE(main.findChildren<QDialog*>().isEmpty());
}

}  // namespace
