// The main window's model: creation, captions, control state, the busy lock, the close
// rules, the handler guard and the events' dispatch.

#include "window/main_window_model.h"

#include <utility>

#include "production/lang.h"
#include "window/main_window_captions.h"

namespace bw::window {

namespace {

using C = Control;

// The control sets switched together.
constexpr std::array kOperationButtons{C::btn_Write, C::btnReadFactory, C::btn_Verify, C::btn_Save};
constexpr std::array kParameterControls{C::edt_AllCnt,    C::edt_RetryCnt,      C::rb_CmdByte2K,
                                        C::rb_CmdByte256, C::edt_Write256Count, C::lbl_VID,
                                        C::edt_VID,       C::lbl_PID,           C::edt_PID};
constexpr std::array kResultLabels{C::lbl_Result, C::lbl_BINDevError, C::lbl_BINICTypeError,
                                   C::lbl_CtrlResult, C::lbl_ResultReason};
// Every control that starts an operation or changes its parameters: the operation buttons,
// Load, the IC type, the write parameters (VID and PID included) and the factory fields. A
// file dialog over a running write would stall it (and after a cancel no image would count
// as loaded); a second operation would share the mouse and the count.
constexpr std::array kBusyLockedControls{
    C::btn_Write,         C::btnReadFactory,  C::btn_Verify,       C::btn_Save,
    C::edt_AllCnt,        C::edt_RetryCnt,    C::rb_CmdByte2K,     C::rb_CmdByte256,
    C::edt_Write256Count, C::lbl_VID,         C::edt_VID,          C::lbl_PID,
    C::edt_PID,           C::btn_Load,        C::cb_ICType,        C::cb_WriteID,
    C::edt_sleepTime,     C::edt_FactoryType, C::edt_FactoryDate,  C::edt_FactoryNum,
    C::cb_Factory,        C::cb_FactoryLine,  C::cb_FactoryStation};

// The design state of what the window switches: off and hidden at the start.
constexpr std::array kDisabledAtStart{C::edt_BinFile, C::btn_Write, C::btn_Verify, C::btn_Save,
                                      C::btnReadFactory};
constexpr std::array kHiddenAtStart{C::Img_Find,        C::lbl_BinIdentity,    C::lbl_Result,
                                    C::lbl_BINDevError, C::lbl_BINICTypeError, C::lbl_CtrlResult,
                                    C::lbl_ResultReason};

std::string Caption(std::uint8_t index, std::uint8_t language) {
    return std::string(GetCaption(index, language));
}

void Merge(ControlChange& into, const ControlChange& change) {
    const auto take = [](auto& field, const auto& value) {
        if (value) field = value;
    };
    take(into.text, change.text);
    take(into.enabled, change.enabled);
    take(into.visible, change.visible);
    take(into.checked, change.checked);
    take(into.readOnly, change.readOnly);
    take(into.textColour, change.textColour);
    take(into.fontFace, change.fontFace);
    take(into.fontPixels, change.fontPixels);
    take(into.fontPoints, change.fontPoints);
    take(into.bold, change.bold);
    take(into.wordWrap, change.wordWrap);
    take(into.toolTip, change.toolTip);
    take(into.maxLength, change.maxLength);
    take(into.selectedRow, change.selectedRow);
}

}  // namespace

MainWindowModel::MainWindowModel(HidPlatform& platform, MainWindowView& view)
    : state(platform),
      view_(view),
      guard_([this](std::string_view message) { view_.ShowError(message); },
             {[this] { hideLoading(); }, [this] { RecoverAfterFailure(); }}) {
    for (const Control control : kDisabledAtStart) {
        applied_[static_cast<std::size_t>(control)].enabled = false;
    }
    for (const Control control : kHiddenAtStart) {
        applied_[static_cast<std::size_t>(control)].visible = false;
    }
    view_.SetEvents(this);
}

MainWindowModel::~MainWindowModel() {
    view_.SetEvents(nullptr);
}

const std::string& MainWindowModel::ShownText(Control control) const {
    static const std::string kNone;
    const std::optional<std::string>& text = Applied(control).text;
    return text ? *text : kNone;
}

void MainWindowModel::Set(Control control, const ControlChange& change) {
    Merge(applied_[static_cast<std::size_t>(control)], change);
    view_.Apply(control, change);
}

void MainWindowModel::OnEvent(Control control, Event event) {
    using Handler = void (MainWindowModel::*)();
    struct Route {
        Control control;
        Event event;
        Handler handler;
        // What starts an operation or changes its parameters does nothing while one runs (a
        // poll tick's too), whatever reaches it; its controls are disabled then as well.
        bool whenIdle;
    };
    static constexpr std::array<Route, 13> kRoutes{{
        {C::Img_MIRQLog, Event::DoubleClick, &MainWindowModel::Img_MIRQLogDblClick, true},
        {C::cb_ICType, Event::Change, &MainWindowModel::cb_ICTypeChange, true},
        {C::edt_VID, Event::Change, &MainWindowModel::edt_VIDChange, false},
        {C::edt_PID, Event::Change, &MainWindowModel::edt_PIDChange, false},
        {C::cb_AutoRun, Event::Click, &MainWindowModel::cb_AutoRunClick, false},
        {C::btn_Load, Event::Click, &MainWindowModel::btn_LoadClick, true},
        {C::btn_Write, Event::Click, &MainWindowModel::btn_WriteClick, true},
        {C::btn_Verify, Event::Click, &MainWindowModel::btn_VerifyClick, true},
        {C::btn_Save, Event::Click, &MainWindowModel::btn_SaveClick, true},
        {C::edt_Write256Count, Event::Change, &MainWindowModel::edt_Write256CountChange, false},
        {C::btnReadFactory, Event::Click, &MainWindowModel::btnReadFactoryClick, true},
        {C::DevTimer, Event::Tick, &MainWindowModel::DevTimerTimer, false},
        // With a ledger the number field follows the product type.
        {C::edt_FactoryType, Event::Change, &MainWindowModel::ShowNextNumber, false},
    }};
    for (const Route& route : kRoutes) {
        if (route.control != control || route.event != event) continue;
        if (route.whenIdle && OperationRunning()) return;
        RunHandler([this, &route] { (this->*route.handler)(); });
        return;
    }
}

bool MainWindowModel::OnCloseQuery() {
    if (OperationRunning()) {
        // Closing now could leave a mouse half written; close when the operation ends,
        // and say so, or a long write looks like a hang.
        closeRequested_ = true;
        ShowClosing();
        return false;
    }
    view_.StopTimer();
    state.link.ForgetHandles();
    return true;
}

void MainWindowModel::CloseWhenIdle() {
    if (OnCloseQuery()) view_.Close();
}

void MainWindowModel::FormCreate(std::uint32_t localeId) {
    station.forgetImage(state);
    state.VerifyMismatch = false;
    SetText(C::lbl_PassCnt, "0");
    station.PassCount = 0;
    SelectUiLanguage(localeId);
    state.link.ForgetHandles();
}

void MainWindowModel::SelectUiLanguage(std::uint32_t localeId) {
    UiLanguage = UiLanguageForLocale(localeId);
    ApplyCaptions();
}

void MainWindowModel::ApplyCaptions() {
    const std::string face(CaptionFontFace(UiLanguage));
    for (const Control control : kFacedControls) Set(control, {.fontFace = face});
    for (const CaptionedControl& captioned : kCaptionedControls) {
        SetText(captioned.control, Caption(captioned.caption, UiLanguage));
    }
}

int MainWindowModel::IcTypeIndex() const {
    return view_.SelectedRow(C::cb_ICType);
}

void MainWindowModel::ShowClosing() {
    // Longer than the status captions: two smaller lines in the same place.
    Set(C::lbl_DevStatus, {.text = writeDepth_ > 0 ? "Closing when this write ends"
                                                   : "Closing when this operation ends",
                           .fontPixels = 17,
                           .wordWrap = true});
}

void MainWindowModel::ShowDevStatus(std::uint8_t captionIndex) {
    // A close that waits for the operation keeps saying so until the window goes.
    if (closeRequested_) return;
    SetText(C::lbl_DevStatus, Caption(captionIndex, UiLanguage));
}

void MainWindowModel::ShowDeviceFound() {
    Show(C::Img_Find, true);
    ShowDevStatus(caption::MouseReady);
    Show(C::Img_NoFind, false);
    SetUsable(C::cb_ICType, false);
    SetUsable(C::cb_AutoRun, false);
    processEvents();
}

void MainWindowModel::SetOperationButtonsEnabled(bool enabled) {
    for (const Control control : kOperationButtons) SetUsable(control, enabled);
}

void MainWindowModel::SetParameterControlsEnabled(bool enabled) {
    for (const Control control : kParameterControls) SetUsable(control, enabled);
}

void MainWindowModel::LockOperationControls() {
    SetOperationButtonsEnabled(false);
    SetParameterControlsEnabled(false);
    SetUsable(C::cb_AutoRun, false);
    for (const Control label : kResultLabels) Show(label, false);
    SetLoadUsable(true);
}

void MainWindowModel::UnlockOperationControls() {
    SetOperationButtonsEnabled(true);
    SetParameterControlsEnabled(true);
    SetUsable(C::cb_AutoRun, true);
}

void MainWindowModel::SetUsable(Control control, bool usable) {
    if (DeviceOperationRunning() && wantedUsable_.count(control) > 0) {
        wantedUsable_[control] = usable;
        return;
    }
    Set(control, {.enabled = usable});
}

void MainWindowModel::LockWhileBusy() {
    wantedUsable_.clear();
    for (const Control control : kBusyLockedControls) {
        wantedUsable_[control] = Enabled(control);
        Set(control, {.enabled = false});
    }
}

void MainWindowModel::UnlockAfterBusy() {
    const std::map<Control, bool> wanted = std::move(wantedUsable_);
    wantedUsable_.clear();
    for (const Control control : kBusyLockedControls) {
        const auto it = wanted.find(control);
        if (it != wanted.end()) Set(control, {.enabled = it->second});
    }
}

void MainWindowModel::BeginOperation(Work work) {
    ++operationDepth_;
    if (work == Work::PollTick) return;
    if (work == Work::Write) ++writeDepth_;
    if (closeRequested_) ShowClosing();
    if (deviceDepth_++ == 0) LockWhileBusy();
}

void MainWindowModel::EndOperation(Work work) {
    if (operationDepth_ > 0) --operationDepth_;
    if (work == Work::Write && writeDepth_ > 0) --writeDepth_;
    if (work != Work::PollTick && deviceDepth_ > 0 && --deviceDepth_ == 0) UnlockAfterBusy();
    if (operationDepth_ > 0) return;
    if (closeRequested_) {
        // Close once the handler that ended the operation has returned.
        view_.Post([this] { CloseWhenIdle(); });
    } else if (autoRunClicked_) {
        // "Auto Write" switched meanwhile takes effect now, after the handler has returned.
        autoRunClicked_ = false;
        view_.Post([this] { RunHandler([this] { cb_AutoRunClick(); }); });
    }
}

bool MainWindowModel::RunHandler(const std::function<void()>& handler) {
    return guard_.Run(handler);
}

void MainWindowModel::RecoverAfterFailure() {
    // The failed handler has unwound: nothing runs any more.
    station.PollBusy = false;
    operationDepth_ = 0;
    if (deviceDepth_ > 0) UnlockAfterBusy();
    deviceDepth_ = 0;
    writeDepth_ = 0;
    if (closeRequested_) {
        CloseWhenIdle();
        return;
    }
    // Usable again: loading always, the operations when a mouse is ready for the
    // loaded image in manual mode, and polling whenever an image is loaded.
    SetLoadUsable(true);
    if (station.ImageLoaded && state.link.AnyDeviceOpen() && !view_.Checked(C::cb_AutoRun)) {
        UnlockOperationControls();
    }
    if (station.ImageLoaded) view_.StartTimer();
}

void MainWindowModel::showLoading() {
    view_.ShowLoading();
}

void MainWindowModel::hideLoading() {
    view_.HideLoading();
}

void MainWindowModel::processEvents() {
    view_.ProcessEvents();
}

void MainWindowModel::sleepMs(int ms) {
    if (clock_ != nullptr) {
        clock_->sleepMs(ms);
    } else {
        OperationHost::sleepMs(ms);
    }
}

void MainWindowModel::delayUs(int us) {
    if (clock_ != nullptr) {
        clock_->delayUs(us);
    } else {
        OperationHost::delayUs(us);
    }
}

}  // namespace bw::window
