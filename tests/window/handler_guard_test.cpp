#include "window/handler_guard.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "production/conversion_error.h"
#include "production/error_box_message.h"

namespace {

class Guard : public ::testing::Test {
  protected:
    // The error box as the views show it.
    bw::window::HandlerGuard::ErrorBox box = [this](std::string_view message) {
        steps.push_back("box: " + bw::ErrorBoxMessage(message));
    };
    std::vector<std::string> steps;
    bw::window::HandlerGuard guard{box,
                                   {[this] { steps.push_back("hide loading"); },
                                    [this] { steps.push_back("restore window"); }}};
};

TEST_F(Guard, HandlerThatSucceedsNeedsNoRecovery) {
    EXPECT_TRUE(guard.Run([this] { steps.push_back("work"); }));
    EXPECT_EQ(steps, std::vector<std::string>{"work"});
    EXPECT_FALSE(guard.Running());
}

TEST_F(Guard, FailureEndsHandlerShowsBoxThenRestores) {
    const bool ok = guard.Run([this] {
        steps.push_back("lock controls");
        throw bw::ConversionError("012a");
        steps.push_back("never");
    });
    EXPECT_FALSE(ok);
    EXPECT_EQ(steps, (std::vector<std::string>{"lock controls", "hide loading",
                                               "box: '012a' is not a valid integer value.",
                                               "restore window"}));
    EXPECT_FALSE(guard.Running());

    // The guard is usable again for the next event.
    steps.clear();
    EXPECT_TRUE(guard.Run([] {}));
    EXPECT_TRUE(steps.empty());
}

TEST_F(Guard, FailureInNestedHandlerEndsTheOuterOneOnce) {
    // A poll tick that starts the write handler: a failure in the write ends the tick too.
    const bool ok = guard.Run([this] {
        steps.push_back("tick");
        guard.Run([] { throw std::runtime_error("Write broke"); });
        steps.push_back("tick goes on");
    });
    EXPECT_FALSE(ok);
    EXPECT_EQ(steps, (std::vector<std::string>{"tick", "hide loading", "box: Write broke.",
                                               "restore window"}));
    EXPECT_FALSE(guard.Running());
}

TEST_F(Guard, FailuresWithoutTextAndInRecoveryStayInside) {
    bw::window::HandlerGuard fragile{
        box, {[] { throw std::runtime_error("no loading window"); }, nullptr}};
    EXPECT_FALSE(fragile.Run([] { throw 42; }));
    EXPECT_EQ(steps,
              (std::vector<std::string>{"box: no loading window.", "box: Unknown failure."}));
}

}  // namespace
