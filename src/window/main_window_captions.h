#pragma once
// Which caption of the caption table each control shows, and which controls take the
// language's font face, in the order the caption routine applies them.

#include <array>
#include <cstdint>

#include "window/main_window_controls.h"

namespace bw::window {

struct CaptionedControl {
    Control control;
    std::uint8_t caption;  // index into the caption table
};

inline constexpr std::array<CaptionedControl, 30> kCaptionedControls{{
    {Control::lbl_DevStatus, 0},
    {Control::lbl_ICType, 2},
    {Control::lbl_VID, 3},
    {Control::lbl_PID, 4},
    {Control::lbl_AutoMode, 5},
    {Control::cb_AutoRun, 6},
    {Control::lbl_BinFile, 7},
    {Control::btn_Load, 8},
    {Control::btn_Write, 9},
    {Control::btnReadFactory, 37},
    {Control::btn_Verify, 10},
    {Control::btn_Save, 11},
    {Control::gbResult, 18},
    {Control::lbl_BINDevError, 19},
    {Control::lbl_BINICTypeError, 20},
    {Control::lbl_Result, 21},
    {Control::lbl_PassNum, 23},
    {Control::gbWriteConfig, 24},
    {Control::lbl_RetryCount, 26},
    {Control::lbl_WriteCount, 25},
    {Control::lbl_WriteType, 27},
    {Control::lbl_RetryMode, 28},
    {Control::cb_WriteID, 29},
    {Control::gbFactoryConfig, 30},
    {Control::lbl_FactoryType, 31},
    {Control::lbl_FactoryDate, 32},
    {Control::lbl_FactoryNum, 33},
    {Control::lbl_Factory, 34},
    {Control::Label2, 35},
    {Control::Label3, 36},
}};

inline constexpr std::array<Control, 37> kFacedControls{{
    Control::lbl_DevStatus,
    Control::lbl_ICType,
    Control::cb_ICType,
    Control::lbl_VID,
    Control::edt_VID,
    Control::lbl_PID,
    Control::edt_PID,
    Control::lbl_AutoMode,
    Control::cb_AutoRun,
    Control::lbl_BinFile,
    Control::edt_BinFile,
    Control::btn_Load,
    Control::btn_Write,
    Control::btnReadFactory,
    Control::btn_Verify,
    Control::btn_Save,
    Control::gbResult,
    Control::lbl_BINDevError,
    Control::lbl_BINICTypeError,
    Control::lbl_CtrlResult,
    Control::lbl_Result,
    Control::lbl_PassNum,
    Control::lbl_PassCnt,
    Control::gbWriteConfig,
    Control::lbl_WriteCount,
    Control::lbl_RetryCount,
    Control::lbl_WriteType,
    Control::lbl_sleepTime,
    Control::lbl_RetryMode,
    Control::cb_WriteID,
    Control::gbFactoryConfig,
    Control::lbl_FactoryType,
    Control::lbl_FactoryDate,
    Control::lbl_FactoryNum,
    Control::lbl_Factory,
    Control::Label2,
    Control::Label3,
}};

}  // namespace bw::window
