#include <gtest/gtest.h>

#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "app/main_form.h"
#include "app/null_platform.h"
#include "ui/message_boxes.h"
#include "ui/pass_dialog.h"

namespace bw {
namespace {

class LogoTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetMessageBoxHook(
            [this](BoxKind, const QString&, const QString& text) { boxes.push_back(text); });
        QObject::connect(form.dlgPass, &TPassDialog::shown, [this](QDialog* d) {
            ++prompts;
            QTimer::singleShot(5000, d, &QDialog::reject);  // never hang
            d->findChild<QLineEdit*>("Value")->setText(answer);
            d->findChild<QPushButton*>(okay ? "OK" : "Cancel")->click();
        });
        form.show();
        for (QWidget* w : form.IdentityControls()) w->setEnabled(false);
    }
    void TearDown() override { SetMessageBoxHook({}); }

    void DoubleClicks(int n) {
        for (int i = 0; i < n; ++i) QTest::mouseDClick(form.Img_MIRQLog, Qt::LeftButton);
    }
    bool IdentityEnabled() const {
        for (QWidget* w : form.IdentityControls()) {
            if (!w->isEnabled()) return false;
        }
        return true;
    }

    NullPlatform platform;
    TForm1 form{platform};
    QStringList boxes;
    int prompts = 0;
    QString answer = "GlimmerQX";
    bool okay = true;
};

TEST_F(LogoTest, FifthDoubleClickAsksAndTheRightPasswordUnlocks) {
    DoubleClicks(4);
    EXPECT_EQ(prompts, 0);
    DoubleClicks(1);
    EXPECT_EQ(prompts, 1);
    EXPECT_TRUE(IdentityEnabled());
    EXPECT_TRUE(boxes.isEmpty());

    // The next double-click locks again, says so, and is not counted.
    DoubleClicks(1);
    EXPECT_FALSE(IdentityEnabled());
    EXPECT_EQ(boxes, QStringList{"Locked"});
    DoubleClicks(4);
    EXPECT_EQ(prompts, 1);
    DoubleClicks(1);
    EXPECT_EQ(prompts, 2);
}

TEST_F(LogoTest, WrongPasswordOrCancelChangesNothing) {
    answer = "glimmerqx";
    DoubleClicks(5);
    EXPECT_EQ(prompts, 1);
    EXPECT_FALSE(IdentityEnabled());
    answer = "GlimmerQX";
    okay = false;
    DoubleClicks(5);
    EXPECT_EQ(prompts, 2);
    EXPECT_FALSE(IdentityEnabled());
    EXPECT_TRUE(boxes.isEmpty());
}

TEST(HandlerRecovery, FailedHandlerLeavesPollingRunningForALoadedImage) {
    SetMessageBoxHook([](BoxKind, const QString&, const QString&) {});
    NullPlatform platform;
    TForm1 form(platform);
    form.station.ImageLoaded = true;
    form.btn_Load->setEnabled(false);
    EXPECT_FALSE(form.RunHandler([&form] {
        form.station.PollBusy = true;
        form.DevTimer->stop();
        throw std::runtime_error("Bad file");
    }));
    EXPECT_FALSE(form.station.PollBusy);
    EXPECT_TRUE(form.DevTimer->isActive());
    EXPECT_TRUE(form.btn_Load->isEnabled());
    // No device open: the operation buttons stay as they were.
    for (QWidget* w : form.OperationButtons()) EXPECT_FALSE(w->isEnabled());
    SetMessageBoxHook({});
}

}  // namespace
}  // namespace bw
