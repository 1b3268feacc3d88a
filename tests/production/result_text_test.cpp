#include "production/result_text.h"

#include <gtest/gtest.h>

namespace bw {
namespace {

TEST(ResultText, WriteOnTheFirstIcTypeIsLargeAndLime) {
    const ResultView pass = ViewOf(Operation::Write, Outcome::Pass, 0);
    EXPECT_EQ(pass.place, ResultPlace::CtrlResult);
    EXPECT_EQ(pass.text, "Write Pass");
    EXPECT_EQ(pass.colour, kLime);
    EXPECT_EQ(pass.pointSize, 36);

    const ResultView fail = ViewOf(Operation::Write, Outcome::Fail, 0);
    EXPECT_EQ(fail.text, "Write Fail");
    EXPECT_EQ(fail.colour, kRed);
    EXPECT_EQ(fail.pointSize, 36);
}

TEST(ResultText, WriteOnOtherIcTypesKeepsTheSize) {
    for (int ic : {1, 2}) {
        EXPECT_EQ(ViewOf(Operation::Write, Outcome::Pass, ic).colour, kGreen);
        EXPECT_EQ(ViewOf(Operation::Write, Outcome::Pass, ic).pointSize, 0);
        EXPECT_EQ(ViewOf(Operation::Write, Outcome::Fail, ic).colour, kRed);
        EXPECT_EQ(ViewOf(Operation::Write, Outcome::Fail, ic).pointSize, 0);
    }
}

TEST(ResultText, DeviceTestEndsShowNothingOrTheMouseMismatch) {
    for (Operation op : {Operation::Write, Operation::Verify}) {
        EXPECT_EQ(ViewOf(op, Outcome::NoAnswer, 0).place, ResultPlace::None);
        EXPECT_EQ(ViewOf(op, Outcome::BadStatus, 0).place, ResultPlace::None);
        const ResultView mismatch = ViewOf(op, Outcome::MismatchMouse, 0);
        EXPECT_EQ(mismatch.place, ResultPlace::BinDevError);
        EXPECT_EQ(mismatch.text, "BIN file not match Mouse");
    }
    EXPECT_EQ(ViewOf(Operation::Write, Outcome::Skipped, 7).place, ResultPlace::None);
}

TEST(ResultText, SaveThatWroteNoFileSaysSo) {
    EXPECT_EQ(ViewOf(Operation::Save, Outcome::Pass, 0).text, "Save Pass");
    EXPECT_EQ(ViewOf(Operation::Save, Outcome::Pass, 0).colour, kGreen);
    for (Outcome o : {Outcome::Fail, Outcome::NoAnswer, Outcome::BadStatus}) {
        EXPECT_EQ(ViewOf(Operation::Save, o, 0).text, "Save Fail");
        EXPECT_EQ(ViewOf(Operation::Save, o, 0).colour, kRed);
    }
    EXPECT_EQ(ViewOf(Operation::Save, Outcome::MismatchMouse, 0).place, ResultPlace::BinDevError);
}

TEST(ResultText, VerifyAndFactoryReadColours) {
    EXPECT_EQ(ViewOf(Operation::Verify, Outcome::Pass, 1).text, "Verify Pass");
    EXPECT_EQ(ViewOf(Operation::Verify, Outcome::Pass, 1).colour, kGreen);
    EXPECT_EQ(ViewOf(Operation::Verify, Outcome::Fail, 0).text, "Verify Fail");
    EXPECT_EQ(ViewOf(Operation::Verify, Outcome::Fail, 0).pointSize, 0);

    EXPECT_EQ(ViewOf(Operation::ReadFactory, Outcome::Pass, 0).text, "Read Ok");
    EXPECT_EQ(ViewOf(Operation::ReadFactory, Outcome::Pass, 0).colour, kGreen);
    for (Outcome o : {Outcome::Fail, Outcome::NoAnswer, Outcome::BadStatus, Outcome::MismatchMouse,
                      Outcome::Skipped}) {
        const ResultView v = ViewOf(Operation::ReadFactory, o, 0);
        EXPECT_EQ(v.place, ResultPlace::CtrlResult);
        EXPECT_EQ(v.text, "Read Fail");
        EXPECT_EQ(v.colour, kRed);
    }
}

TEST(ResultText, ExitCodes) {
    EXPECT_EQ(ExitCodeOf(Outcome::Pass), 0);
    EXPECT_EQ(ExitCodeOf(Outcome::Fail), 1);
    EXPECT_EQ(ExitCodeOf(Outcome::MismatchMouse), 4);
    EXPECT_EQ(ExitCodeOf(Outcome::NoAnswer), 5);
    EXPECT_EQ(ExitCodeOf(Outcome::BadStatus), 5);
    EXPECT_NE(ExitCodeOf(Outcome::Skipped), 0);
}

}  // namespace
}  // namespace bw
