#include "window/fake_main_window_view.h"

#include "production/error_box_message.h"
#include "production/number_text.h"
#include "winapp/main_window_design.h"

namespace bw::test {

using window::Control;
using window::ControlKind;
using window::Event;

const std::string& FakeControl::text() const {
    return view_->StateOf(control_).text;
}
bool FakeControl::isEnabled() const {
    return view_->StateOf(control_).enabled;
}
bool FakeControl::isHidden() const {
    return !view_->StateOf(control_).visible;
}
bool FakeControl::isChecked() const {
    return view_->StateOf(control_).checked;
}
bool FakeControl::isReadOnly() const {
    return view_->StateOf(control_).readOnly;
}
const std::string& FakeControl::toolTip() const {
    return view_->StateOf(control_).toolTip;
}
std::optional<Rgb> FakeControl::colour() const {
    return view_->StateOf(control_).colour;
}
std::optional<int> FakeControl::pointSize() const {
    return view_->StateOf(control_).fontPoints;
}
int FakeControl::maxLength() const {
    return view_->StateOf(control_).maxLength;
}
int FakeControl::currentIndex() const {
    return view_->SelectedRow(control_);
}

void FakeControl::click() {
    const ControlKind kind = window::KindOf(control_);
    if (kind == ControlKind::CheckBox) setChecked(!isChecked());
    if (kind == ControlKind::RadioButton) setChecked(true);
    view_->Raise(control_, Event::Click);
}

void FakeControl::setText(const std::string& t) {
    view_->SetFieldText(control_, t);
}

void FakeControl::setCurrentIndex(int row) {
    FakeMainWindowView::State& state = view_->StateOf(control_);
    state.text = row >= 0 && row < static_cast<int>(state.rows.size())
                     ? state.rows[static_cast<std::size_t>(row)]
                     : std::string();
    view_->Raise(control_, Event::Change);
}

void FakeControl::setEditText(const std::string& t) {
    view_->StateOf(control_).text = t;
    view_->Raise(control_, Event::Change);
}

void FakeControl::setChecked(bool checked) {
    view_->Apply(control_, {.checked = checked});
}

FakeMainWindowView::FakeMainWindowView() {
    for (const winapp::ControlDesign& design : winapp::MainWindowDesign()) {
        State& state = StateOf(design.control);
        state.text = design.text;
        state.enabled = design.enabled;
        state.visible = design.visible;
        state.checked = design.checked;
        state.maxLength = design.maxLength;
        state.colour = design.colour;
        state.fontFace = design.font.face;
        state.fontPixels = design.font.pixels;
        state.rows = design.rows;
    }
    // The path is shown, never typed into.
    StateOf(Control::edt_BinFile).readOnly = true;
}

void FakeMainWindowView::Raise(Control control, Event event) {
    if (events_ != nullptr) events_->OnEvent(control, event);
}

bool FakeMainWindowView::CloseByOperator() {
    if (events_ != nullptr && !events_->OnCloseQuery()) return false;
    closed = true;
    return true;
}

void FakeMainWindowView::RunPosted() {
    while (!posted_.empty()) {
        std::function<void()> work = std::move(posted_.front());
        posted_.pop_front();
        work();
    }
}

void FakeMainWindowView::SetFieldText(Control control, const std::string& text) {
    State& state = StateOf(control);
    if (state.text == text) return;
    state.text = text;
    const ControlKind kind = window::KindOf(control);
    if (kind == ControlKind::HexField || kind == ControlKind::IntField ||
        kind == ControlKind::TextField) {
        Raise(control, Event::Change);
    }
}

void FakeMainWindowView::Apply(Control control, const window::ControlChange& change) {
    State& state = StateOf(control);
    if (change.enabled) state.enabled = *change.enabled;
    if (change.visible) state.visible = *change.visible;
    if (change.checked) {
        state.checked = *change.checked;
        // The radio pair is exclusive.
        if (window::KindOf(control) == ControlKind::RadioButton && state.checked) {
            StateOf(control == Control::rb_CmdByte2K ? Control::rb_CmdByte256
                                                     : Control::rb_CmdByte2K)
                .checked = false;
        }
    }
    if (change.readOnly) state.readOnly = *change.readOnly;
    if (change.maxLength) state.maxLength = *change.maxLength;
    if (change.textColour) state.colour = *change.textColour;
    if (change.fontFace) state.fontFace = *change.fontFace;
    if (change.fontPoints) state.fontPoints = *change.fontPoints;
    if (change.fontPixels) state.fontPixels = *change.fontPixels;
    if (change.wordWrap) state.wordWrap = *change.wordWrap;
    if (change.toolTip) state.toolTip = *change.toolTip;
    if (change.selectedRow) {
        const int row = *change.selectedRow;
        state.text = row >= 0 && row < static_cast<int>(state.rows.size())
                         ? state.rows[static_cast<std::size_t>(row)]
                         : std::string();
    }
    if (change.text) SetFieldText(control, *change.text);
}

std::string FakeMainWindowView::Text(Control control) const {
    return StateOf(control).text;
}

int FakeMainWindowView::SelectedRow(Control control) const {
    const State& state = StateOf(control);
    for (std::size_t i = 0; i < state.rows.size(); ++i) {
        if (state.rows[i] == state.text) return static_cast<int>(i);
    }
    return -1;
}

bool FakeMainWindowView::Checked(Control control) const {
    return StateOf(control).checked;
}

std::int32_t FakeMainWindowView::GetValue(Control field) const {
    const std::string& text = StateOf(field).text;
    return window::KindOf(field) == ControlKind::IntField ? DecimalTextValue(text)
                                                          : HexTextValue(text);
}

void FakeMainWindowView::SetValue(Control field, std::int32_t value) {
    State& state = StateOf(field);
    const std::string text = window::KindOf(field) == ControlKind::IntField
                                 ? DecimalValueText(value)
                                 : HexValueText(value);
    // The whole value, whatever the field's limit.
    if (static_cast<int>(text.size()) > state.maxLength)
        state.maxLength = static_cast<int>(text.size());
    SetFieldText(field, text);
}

void FakeMainWindowView::ShowError(std::string_view message) {
    boxes.push_back(ErrorBoxMessage(message));
}

std::optional<std::string> FakeMainWindowView::AskPassword(std::string_view lastEntry) {
    passwordPrefills.emplace_back(lastEntry);
    return Take(passwords);
}

void FakeMainWindowView::ShowLoading() {
    loadingShown = true;
    ++loadingShows;
}

void FakeMainWindowView::ProcessEvents() {
    if (onProcessEvents) {
        const std::function<void()> act = onProcessEvents;
        act();
    }
    RunPosted();
}

std::optional<std::string> FakeMainWindowView::Take(
    std::deque<std::optional<std::string>>& answers) {
    if (answers.empty()) return std::nullopt;
    std::optional<std::string> answer = std::move(answers.front());
    answers.pop_front();
    return answer;
}

}  // namespace bw::test
