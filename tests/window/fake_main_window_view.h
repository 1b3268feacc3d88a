#pragma once
// A main window view without a toolkit: each control's state as the window's design starts
// it and as the behaviour last applied it, the operator's actions (click, type, choose), the
// timer stepped by the test, scripted answers for the dialogs, and the boxes shown.

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "window/main_window_view.h"

namespace bw::test {

class FakeMainWindowView;

// One control, with the names the window tests read best.
class FakeControl {
  public:
    FakeControl(FakeMainWindowView& view, window::Control control)
        : view_(&view), control_(control) {}

    const std::string& text() const;
    bool isEnabled() const;
    bool isHidden() const;
    bool isChecked() const;
    bool isReadOnly() const;
    const std::string& toolTip() const;
    std::optional<Rgb> colour() const;
    std::optional<int> pointSize() const;
    int maxLength() const;
    int currentIndex() const;

    // The operator's actions: each raises the event the control's kind raises.
    void click();                        // a button, the check box (toggles), a radio button
    void setText(const std::string& t);  // a field's text typed or set: Change when it differs
    void clear() { setText({}); }
    void setCurrentIndex(int row);           // a list's row chosen: Change
    void setEditText(const std::string& t);  // a list's text typed: Change
    // The state alone, without an event (a program's change, as a Qt setter makes it).
    void setChecked(bool checked);

  private:
    FakeMainWindowView* view_;
    window::Control control_;
};

class FakeMainWindowView : public window::MainWindowView {
  public:
    struct State {
        std::string text;
        bool enabled = true;
        bool visible = true;
        bool checked = false;
        bool readOnly = false;
        int maxLength = 0;
        std::optional<Rgb> colour;
        std::optional<int> fontPoints;
        std::optional<int> fontPixels;
        std::string fontFace;
        bool wordWrap = false;
        std::string toolTip;
        std::vector<std::string> rows;  // lists
    };

    // Every control in its design state.
    FakeMainWindowView();

    FakeControl operator()(window::Control control) { return {*this, control}; }
    State& StateOf(window::Control control) { return states_[static_cast<std::size_t>(control)]; }
    const State& StateOf(window::Control control) const {
        return states_[static_cast<std::size_t>(control)];
    }
    // The control's event reported to the behaviour.
    void Raise(window::Control control, window::Event event);
    // The operator's close (title bar): true when the window closed.
    bool CloseByOperator();
    // Runs what was posted, in order, including what that posts.
    void RunPosted();

    // Scripted answers, taken in order; none left: cancelled.
    std::deque<std::optional<std::string>> openFiles;
    std::deque<std::optional<std::string>> saveFiles;
    std::deque<std::optional<std::string>> passwords;
    // Boxes shown: error boxes as the text shown, message boxes as they are.
    std::vector<std::string> boxes;
    std::vector<std::string> passwordPrefills;  // what the password dialog opened with
    // Runs at each ProcessEvents, before what was posted (the operator acting meanwhile).
    std::function<void()> onProcessEvents;
    bool loadingShown = false;
    int loadingShows = 0;
    bool closed = false;

    // MainWindowView.
    void SetEvents(window::MainWindowEvents* events) override { events_ = events; }
    void Apply(window::Control control, const window::ControlChange& change) override;
    std::string Text(window::Control control) const override;
    int SelectedRow(window::Control control) const override;
    bool Checked(window::Control control) const override;
    std::int32_t GetValue(window::Control field) const override;
    void SetValue(window::Control field, std::int32_t value) override;
    void StartTimer() override { timer_ = true; }
    void StopTimer() override { timer_ = false; }
    bool TimerRunning() const override { return timer_; }
    std::optional<std::string> ChooseOpenFile() override { return Take(openFiles); }
    std::optional<std::string> ChooseSaveFile() override { return Take(saveFiles); }
    void ShowMessage(std::string_view text) override { boxes.emplace_back(text); }
    void ShowError(std::string_view message) override;
    std::optional<std::string> AskPassword(std::string_view lastEntry) override;
    void ShowLoading() override;
    void HideLoading() override { loadingShown = false; }
    void ProcessEvents() override;
    void Post(std::function<void()> work) override { posted_.push_back(std::move(work)); }
    void Close() override { closed = true; }

    // A field's text set as the program sets it: Change when it differs.
    void SetFieldText(window::Control control, const std::string& text);

  private:
    static std::optional<std::string> Take(std::deque<std::optional<std::string>>& answers);

    std::array<State, window::kControlCount> states_{};
    window::MainWindowEvents* events_ = nullptr;
    std::deque<std::function<void()>> posted_;
    bool timer_ = false;
};

}  // namespace bw::test
