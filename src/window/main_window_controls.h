#pragma once
// The main window's controls by their names, and what a view does with each: the state the
// window's behaviour gives a control, and the events a view reports. Plain C++, no toolkit:
// the behaviour drives the Qt window and the Win32 window through these alone.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "production/result_text.h"

namespace bw::window {

// Every control of the main window, band by band, then those without a place on screen.
// A view's control of the same name (the Qt objectName, the Win32 child) is the one meant.
enum class Control : std::uint8_t {
    // Band 1, header.
    Img_MIRQLog,
    Img_Find,
    Img_NoFind,
    lbl_DevStatus,
    // Band 2, identity row.
    lbl_ICType,
    cb_ICType,
    lbl_VID,
    edt_VID,
    lbl_PID,
    edt_PID,
    // Band 3, mode and file rows.
    lbl_AutoMode,
    cb_AutoRun,
    lbl_BinFile,
    edt_BinFile,
    lbl_BinIdentity,  // the loaded image's short identity, at the right end of edt_BinFile
    // Band 4, operation buttons.
    btn_Load,
    btn_Write,
    btn_Verify,
    btn_Save,
    // Band 5, write parameters.
    gbWriteConfig,
    lbl_WriteCount,
    edt_AllCnt,
    lbl_WriteType,
    gbDataFormat,  // uncaptioned frame of the radio pair
    rb_CmdByte2K,
    rb_CmdByte256,
    Label1,
    edt_Write256Count,
    lbl_RetryCount,
    edt_RetryCnt,
    lbl_RetryMode,
    gbWriteID,  // uncaptioned frame of cb_WriteID
    cb_WriteID,
    lbl_sleepTime,
    edt_sleepTime,
    // Band 6a, result.
    gbResult,
    lbl_Result,
    lbl_BINDevError,
    lbl_BINICTypeError,
    lbl_CtrlResult,
    lbl_ResultReason,  // why the last operation did not pass, in small type
    lbl_PassNum,
    lbl_PassCnt,
    // Band 6b, factory information.
    gbFactoryConfig,
    lbl_FactoryType,
    edt_FactoryType,
    lbl_FactoryDate,
    edt_FactoryDate,
    lbl_FactoryNum,
    edt_FactoryNum,
    lbl_Factory,
    cb_Factory,
    Label2,
    cb_FactoryLine,
    Label3,
    cb_FactoryStation,
    btnReadFactory,
    // Without a place on screen.
    DevTimer,
};

inline constexpr int kControlCount = static_cast<int>(Control::DevTimer) + 1;

enum class ControlKind : std::uint8_t {
    Image,        // a picture; double click
    Label,        // text only
    Button,       // click
    CheckBox,     // click; checked
    RadioButton,  // click; checked (one of its pair)
    HexField,     // THexEdit: hexadecimal digits only; change
    IntField,     // TIntEdit: decimal digits only; change
    TextField,    // a plain single-line edit field
    List,         // an editable drop-down list; change (selection or text)
    Group,        // a captioned frame around controls
    Frame,        // an uncaptioned frame around controls
    Timer,        // tick
};

struct ControlInfo {
    Control control;
    std::string_view name;  // as the control is named: "btn_Write"
    ControlKind kind;
};

extern const std::array<ControlInfo, kControlCount> kControls;

inline const ControlInfo& InfoOf(Control control) {
    return kControls[static_cast<std::size_t>(control)];
}
inline std::string_view NameOf(Control control) {
    return InfoOf(control).name;
}
inline ControlKind KindOf(Control control) {
    return InfoOf(control).kind;
}
// The control of a name; none for a name no control has.
std::optional<Control> ControlNamed(std::string_view name);

// A change of a control's state: only what is set changes, the rest stays as it is. Texts
// are UTF-8. A view applies whatever fits the control's kind and ignores the rest.
struct ControlChange {
    std::optional<std::string> text{};  // caption, field or list text, group title
    std::optional<bool> enabled{};
    std::optional<bool> visible{};
    std::optional<bool> checked{};   // check box, radio button
    std::optional<bool> readOnly{};  // edit fields: shown, not typed into
    std::optional<Rgb> textColour{};
    std::optional<std::string> fontFace{};
    std::optional<int> fontPixels{};  // font height in pixels
    std::optional<int> fontPoints{};  // or in points (the result's 36-point text)
    std::optional<bool> bold{};
    std::optional<bool> wordWrap{};  // labels: long text takes further lines
    std::optional<std::string> toolTip{};
    std::optional<int> maxLength{};    // edit fields: characters the operator may type
    std::optional<int> selectedRow{};  // lists: the row chosen, its text shown (none: -1 or a
                                       // row the list does not have)
};

// What a view reports.
enum class Event : std::uint8_t {
    Click,        // buttons, check box, radio buttons
    Change,       // a field's or list's text or selection changed (typed or set)
    DoubleClick,  // Img_MIRQLog
    Tick,         // DevTimer
};

class MainWindowEvents {
  public:
    virtual ~MainWindowEvents() = default;
    virtual void OnEvent(Control control, Event event) = 0;
    // The operator asks to close the window (close button, system menu, Alt+F4): true
    // lets it close now; false keeps it open (a close carried out later calls Close()).
    virtual bool OnCloseQuery() = 0;
};

}  // namespace bw::window
