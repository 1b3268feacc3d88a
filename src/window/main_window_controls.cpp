#include "window/main_window_controls.h"

namespace bw::window {

namespace {
using K = ControlKind;
using C = Control;
}  // namespace

const std::array<ControlInfo, kControlCount> kControls{{
    {C::Img_MIRQLog, "Img_MIRQLog", K::Image},
    {C::Img_Find, "Img_Find", K::Image},
    {C::Img_NoFind, "Img_NoFind", K::Image},
    {C::lbl_DevStatus, "lbl_DevStatus", K::Label},
    {C::lbl_ICType, "lbl_ICType", K::Label},
    {C::cb_ICType, "cb_ICType", K::List},
    {C::lbl_VID, "lbl_VID", K::Label},
    {C::edt_VID, "edt_VID", K::HexField},
    {C::lbl_PID, "lbl_PID", K::Label},
    {C::edt_PID, "edt_PID", K::HexField},
    {C::lbl_AutoMode, "lbl_AutoMode", K::Label},
    {C::cb_AutoRun, "cb_AutoRun", K::CheckBox},
    {C::lbl_BinFile, "lbl_BinFile", K::Label},
    {C::edt_BinFile, "edt_BinFile", K::TextField},
    {C::lbl_BinIdentity, "lbl_BinIdentity", K::Label},
    {C::btn_Load, "btn_Load", K::Button},
    {C::btn_Write, "btn_Write", K::Button},
    {C::btn_Verify, "btn_Verify", K::Button},
    {C::btn_Save, "btn_Save", K::Button},
    {C::gbWriteConfig, "gbWriteConfig", K::Group},
    {C::lbl_WriteCount, "lbl_WriteCount", K::Label},
    {C::edt_AllCnt, "edt_AllCnt", K::IntField},
    {C::lbl_WriteType, "lbl_WriteType", K::Label},
    {C::gbDataFormat, "gbDataFormat", K::Frame},
    {C::rb_CmdByte2K, "rb_CmdByte2K", K::RadioButton},
    {C::rb_CmdByte256, "rb_CmdByte256", K::RadioButton},
    {C::Label1, "Label1", K::Label},
    {C::edt_Write256Count, "edt_Write256Count", K::IntField},
    {C::lbl_RetryCount, "lbl_RetryCount", K::Label},
    {C::edt_RetryCnt, "edt_RetryCnt", K::IntField},
    {C::lbl_RetryMode, "lbl_RetryMode", K::Label},
    {C::gbWriteID, "gbWriteID", K::Frame},
    {C::cb_WriteID, "cb_WriteID", K::CheckBox},
    {C::lbl_sleepTime, "lbl_sleepTime", K::Label},
    {C::edt_sleepTime, "edt_sleepTime", K::IntField},
    {C::gbResult, "gbResult", K::Group},
    {C::lbl_Result, "lbl_Result", K::Label},
    {C::lbl_BINDevError, "lbl_BINDevError", K::Label},
    {C::lbl_BINICTypeError, "lbl_BINICTypeError", K::Label},
    {C::lbl_CtrlResult, "lbl_CtrlResult", K::Label},
    {C::lbl_ResultReason, "lbl_ResultReason", K::Label},
    {C::lbl_PassNum, "lbl_PassNum", K::Label},
    {C::lbl_PassCnt, "lbl_PassCnt", K::Label},
    {C::gbFactoryConfig, "gbFactoryConfig", K::Group},
    {C::lbl_FactoryType, "lbl_FactoryType", K::Label},
    {C::edt_FactoryType, "edt_FactoryType", K::HexField},
    {C::lbl_FactoryDate, "lbl_FactoryDate", K::Label},
    {C::edt_FactoryDate, "edt_FactoryDate", K::HexField},
    {C::lbl_FactoryNum, "lbl_FactoryNum", K::Label},
    {C::edt_FactoryNum, "edt_FactoryNum", K::HexField},
    {C::lbl_Factory, "lbl_Factory", K::Label},
    {C::cb_Factory, "cb_Factory", K::List},
    {C::Label2, "Label2", K::Label},
    {C::cb_FactoryLine, "cb_FactoryLine", K::List},
    {C::Label3, "Label3", K::Label},
    {C::cb_FactoryStation, "cb_FactoryStation", K::List},
    {C::btnReadFactory, "btnReadFactory", K::Button},
    {C::DevTimer, "DevTimer", K::Timer},
}};

std::optional<Control> ControlNamed(std::string_view name) {
    for (const ControlInfo& info : kControls) {
        if (info.name == name) return info.control;
    }
    return std::nullopt;
}

}  // namespace bw::window
