#pragma once
// What the window's behaviour asks of a main window view: apply control states, read the
// fields at the moment they are needed, and the things only a toolkit can do (file dialogs,
// boxes, the password dialog, the loading window, the timer, letting events run).

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "window/main_window_controls.h"

namespace bw::window {

class MainWindowView {
  public:
    virtual ~MainWindowView() = default;

    // Reports events to `events` from now on (null: to nobody).
    virtual void SetEvents(MainWindowEvents* events) = 0;

    // Changes a control's state. Setting an edit field's text raises its Change event, as
    // typing does; a list raises Change only for the operator (a row chosen, text typed),
    // and the other changes raise none.
    virtual void Apply(Control control, const ControlChange& change) = 0;
    // A field's, list's or label's text (UTF-8) as it is now.
    virtual std::string Text(Control control) const = 0;
    // A list's chosen row: -1 when its text is none of its rows (typed into the list).
    virtual int SelectedRow(Control control) const = 0;
    // A check box's or radio button's state.
    virtual bool Checked(Control control) const = 0;
    // A numeric field's value (THexEdit, TIntEdit): empty reads 0; a text that is no
    // number throws ConversionError. SetValue writes the value's text (0 or less: empty),
    // whole even where it is longer than the field's limit, and raises Change.
    virtual std::int32_t GetValue(Control field) const = 0;
    virtual void SetValue(Control field, std::int32_t value) = 0;

    // DevTimer: ticks every 1000 ms while running.
    virtual void StartTimer() = 0;
    virtual void StopTimer() = 0;
    virtual bool TimerRunning() const = 0;

    // The file dialogs (OpenDialog1, SaveDialog1): the name chosen (UTF-8) as entered,
    // none when cancelled.
    virtual std::optional<std::string> ChooseOpenFile() = 0;
    virtual std::optional<std::string> ChooseSaveFile() = 0;
    // The plain message box (no icon) and the error box (stop icon; the text as
    // ErrorBoxMessage gives it), both modal, captioned with the application title.
    virtual void ShowMessage(std::string_view text) = 0;
    virtual void ShowError(std::string_view message) = 0;
    // The password dialog, opened with `lastEntry` (masked): the entry confirmed with OK,
    // none after Cancel, Escape or the close button.
    virtual std::optional<std::string> AskPassword(std::string_view lastEntry) = 0;
    // The loading window, centred over the main window where it is now.
    virtual void ShowLoading() = 0;
    virtual void HideLoading() = 0;

    // Lets pending window events run once (the window paints, the animation moves).
    virtual void ProcessEvents() = 0;
    // Runs `work` on the window's thread once the running handler has returned; callable
    // from any thread.
    virtual void Post(std::function<void()> work) = 0;
    // Closes the window for good (no close query); the program then ends.
    virtual void Close() = 0;
};

}  // namespace bw::window
