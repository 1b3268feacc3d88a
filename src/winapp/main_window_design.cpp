#include "winapp/main_window_design.h"

namespace bw::winapp {

namespace {

using window::Control;

// Vertical shift of each band from the Qt window's client coordinates into this window.
constexpr int kHeaderShift = 20;
constexpr int kRowsShift = 14;
constexpr int kButtonsShift = 10;
constexpr int kWriteConfigShift = 6;
constexpr int kResultShift = 4;
constexpr int kFactoryShift = 2;

// Group origins in the Qt window's client coordinates.
constexpr Place kWriteConfig{8, 262, 609, 130};
constexpr Place kDataFormat{320, 22, 200, 34};  // inside the write parameters
constexpr Place kWriteId{320, 60, 200, 32};     // inside the write parameters
constexpr Place kResult{8, 400, 609, 104};
constexpr Place kFactoryConfig{8, 512, 609, 158};

constexpr Place Shift(Place p, int dy) {
    return {p.x, p.y + dy, p.width, p.height};
}
constexpr Place In(Place group, Place p) {
    return {group.x + p.x, group.y + p.y, p.width, p.height};
}

std::vector<std::string> Range(char first, char last) {
    std::vector<std::string> rows;
    for (char c = first; c <= last; ++c) rows.emplace_back(1, c);
    return rows;
}

constexpr DesignFont kLabel{"Tahoma", 13, false};
constexpr DesignFont kList{"Tahoma", 12, false};
constexpr DesignFont kNumber{"MS Sans Serif", 12, false};
constexpr DesignFont kGroup{"Tahoma", 16, false};
constexpr DesignFont kBold16{"Tahoma", 16, true};

ControlDesign Item(Control control, Place place, std::string text, DesignFont font) {
    ControlDesign d;
    d.control = control;
    d.place = place;
    d.text = std::move(text);
    d.font = font;
    return d;
}

ControlDesign Field(Control control, Place place, const char* text, int maxLength) {
    ControlDesign d = Item(control, place, text, kNumber);
    d.maxLength = maxLength;
    return d;
}

ControlDesign List(Control control, Place place, std::vector<std::string> rows, DesignFont font) {
    ControlDesign d = Item(control, place, rows.front(), font);
    d.rows = std::move(rows);
    return d;
}

void AddHeader(std::vector<ControlDesign>& all) {
    all.push_back(Item(Control::Img_MIRQLog, Shift({12, 10, 200, 66}, kHeaderShift), "", {}));
    ControlDesign find = Item(Control::Img_Find, Shift({372, 28, 30, 30}, kHeaderShift), "", {});
    find.visible = false;
    all.push_back(find);
    all.push_back(Item(Control::Img_NoFind, Shift({372, 28, 30, 30}, kHeaderShift), "", {}));
    all.push_back(Item(Control::lbl_DevStatus, Shift({410, 18, 201, 49}, kHeaderShift),
                       "Device No Find", {"Tahoma", 21, true}));
}

void AddRows(std::vector<ControlDesign>& all) {
    const auto at = [](Place p) { return Shift(p, kRowsShift); };
    all.push_back(Item(Control::lbl_ICType, at({12, 92, 108, 24}), "MIRQ IC种类：", kLabel));
    ControlDesign ic =
        List(Control::cb_ICType, at({122, 92, 120, 24}), {"KVDE31X", "KVDE52xx", "KVDE847"}, kList);
    ic.visibleRows = 6;
    all.push_back(ic);
    all.push_back(Item(Control::lbl_VID, at({270, 92, 40, 24}), "VID：", kLabel));
    all.push_back(Field(Control::edt_VID, at({310, 92, 70, 24}), "3A5C", 4));
    all.push_back(Item(Control::lbl_PID, at({410, 92, 40, 24}), "PID：", kLabel));
    all.push_back(Field(Control::edt_PID, at({450, 92, 70, 24}), "0C21", 4));

    all.push_back(Item(Control::lbl_AutoMode, at({12, 128, 108, 24}), "烧录模式：", kLabel));
    all.push_back(Item(Control::cb_AutoRun, at({122, 128, 160, 24}), " Auto Run", kLabel));
    all.push_back(Item(Control::lbl_BinFile, at({12, 164, 108, 24}), "BIN档路径：", kLabel));
    ControlDesign path = Item(Control::edt_BinFile, at({122, 164, 493, 24}), "", kList);
    path.enabled = false;
    path.background = kPathBackground;
    all.push_back(path);
    // At the field's right end, over it.
    ControlDesign identity = Item(Control::lbl_BinIdentity, at({122 + 489 - 210, 165, 210, 22}), "",
                                  {"Tahoma", 11, false});
    identity.visible = false;
    identity.align = Align::Right;
    identity.colour = Rgb{64, 64, 64};
    identity.background = kPathBackground;
    all.push_back(identity);
}

void AddButtons(std::vector<ControlDesign>& all) {
    const auto button = [&](Control control, const char* text, int left, bool enabled) {
        ControlDesign d = Item(control, Shift({left, 204, 96, 44}, kButtonsShift), text, kBold16);
        d.enabled = enabled;
        all.push_back(d);
    };
    button(Control::btn_Load, "加载BIN档", 40, true);
    button(Control::btn_Write, "烧录", 188, false);
    button(Control::btn_Verify, "校验", 336, false);
    button(Control::btn_Save, "保存", 484, false);
}

void AddWriteConfig(std::vector<ControlDesign>& all) {
    const Place g = Shift(kWriteConfig, kWriteConfigShift);
    const Place format = In(g, kDataFormat);
    const Place writeId = In(g, kWriteId);
    const DesignFont label{"Tahoma", 16, false};
    const DesignFont choice{"Tahoma", 13, false};
    all.push_back(Item(Control::gbWriteConfig, g, "Write Parameter:", kGroup));
    // Line 1: total count, data format pair, "*" and the 256-byte block count.
    all.push_back(Item(Control::lbl_WriteCount, In(g, {10, 28, 120, 24}), "Total Times：", label));
    all.push_back(Field(Control::edt_AllCnt, In(g, {130, 28, 50, 24}), "1", 4));
    all.push_back(Item(Control::lbl_WriteType, In(g, {200, 28, 120, 24}), "Data Format：", label));
    all.push_back(Item(Control::gbDataFormat, format, "", kGroup));
    ControlDesign k2 = Item(Control::rb_CmdByte2K, In(format, {6, 5, 90, 24}), "2K Byte", choice);
    k2.checked = true;
    all.push_back(k2);
    all.push_back(Item(Control::rb_CmdByte256, In(format, {100, 5, 96, 24}), "256 Byte", choice));
    all.push_back(Item(Control::Label1, In(g, {528, 28, 12, 24}), "*", label));
    all.push_back(Field(Control::edt_Write256Count, In(g, {544, 28, 50, 24}), "8", 4));
    // Line 2: retry count and the factory-information check box.
    all.push_back(Item(Control::lbl_RetryCount, In(g, {10, 62, 120, 24}), "Retry Times：", label));
    all.push_back(Field(Control::edt_RetryCnt, In(g, {130, 62, 50, 24}), "3", 4));
    all.push_back(Item(Control::lbl_RetryMode, In(g, {200, 62, 120, 24}), "烧录工厂信息：", label));
    all.push_back(Item(Control::gbWriteID, writeId, "", kGroup));
    all.push_back(Item(Control::cb_WriteID, In(writeId, {6, 4, 188, 24}), "cb_WriteID", choice));
    // Line 3: settle time.
    all.push_back(Item(Control::lbl_sleepTime, In(g, {10, 96, 120, 24}), "Sleep Time:", label));
    all.push_back(Field(Control::edt_sleepTime, In(g, {130, 96, 50, 24}), "100", 3));
}

void AddResult(std::vector<ControlDesign>& all) {
    const Place g = Shift(kResult, kResultShift);
    all.push_back(Item(Control::gbResult, g, "烧录结果:", kGroup));
    // One message area on the left; the four labels lie on top of one another, high enough
    // to leave two lines of the reason below them.
    const auto message = [&](Control control, Place place, const char* text, DesignFont font,
                             Rgb colour) {
        ControlDesign d = Item(control, In(g, place), text, font);
        d.visible = false;
        d.align = Align::Centre;
        d.colour = colour;
        all.push_back(d);
    };
    const Place area{16, 18, 320, 56};
    message(Control::lbl_Result, area, "PASS", {"Tahoma", 48, true}, kBlue);
    message(Control::lbl_BINDevError, {16, 34, 320, 24}, "BIN类型和Mouse不匹配", kBold16, kRed);
    message(Control::lbl_BINICTypeError, {16, 34, 320, 24}, "BIN类型和IC种类不匹配", kBold16, kRed);
    message(Control::lbl_CtrlResult, area, "BIN类型和IC种类不匹配", kBold16, Rgb{0, 0, 0});
    // Under the message area, left of the pass counter, in up to two lines.
    message(Control::lbl_ResultReason, {16, 70, 348, 30}, "", {"Tahoma", 11, false},
            Rgb{128, 0, 0});
    all.back().wordWrap = true;

    all.push_back(Item(Control::lbl_PassNum, In(g, {370, 44, 140, 28}), "Pass Number:", kBold16));
    ControlDesign count = Item(Control::lbl_PassCnt, In(g, {510, 44, 90, 28}), "0", kBold16);
    count.align = Align::Centre;
    count.colour = kBlue;
    all.push_back(count);
}

void AddFactoryConfig(std::vector<ControlDesign>& all) {
    const Place g = Shift(kFactoryConfig, kFactoryShift);
    all.push_back(Item(Control::gbFactoryConfig, g, "烧录工厂配置:", kGroup));
    all.push_back(Item(Control::lbl_FactoryType, In(g, {10, 30, 90, 24}), "产品型号：", kLabel));
    all.push_back(Field(Control::edt_FactoryType, In(g, {100, 30, 90, 24}), "0005", 4));
    all.push_back(Item(Control::lbl_FactoryDate, In(g, {210, 30, 90, 24}), "生产日期：", kLabel));
    all.push_back(Field(Control::edt_FactoryDate, In(g, {300, 30, 90, 24}), "20200527", 8));
    all.push_back(Item(Control::lbl_FactoryNum, In(g, {410, 30, 90, 24}), "产品编号：", kLabel));
    all.push_back(Field(Control::edt_FactoryNum, In(g, {500, 30, 90, 24}), "000001", 6));

    all.push_back(Item(Control::lbl_Factory, In(g, {10, 68, 90, 24}), "厂别：", kLabel));
    all.push_back(List(Control::cb_Factory, In(g, {100, 68, 90, 24}), Range('1', '8'), kList));
    all.push_back(Item(Control::Label2, In(g, {210, 68, 90, 24}), "线别：", kLabel));
    all.push_back(List(Control::cb_FactoryLine, In(g, {300, 68, 90, 24}), Range('A', 'Z'), kList));
    all.push_back(Item(Control::Label3, In(g, {410, 68, 90, 24}), "站别：", kLabel));
    all.push_back(
        List(Control::cb_FactoryStation, In(g, {500, 68, 90, 24}), Range('1', '8'), kList));

    ControlDesign read = Item(Control::btnReadFactory, In(g, {389, 110, 201, 36}), "回读", kBold16);
    read.enabled = false;
    all.push_back(read);
}

}  // namespace

std::vector<ControlDesign> MainWindowDesign() {
    std::vector<ControlDesign> all;
    AddHeader(all);
    AddRows(all);
    AddButtons(all);
    AddWriteConfig(all);
    AddResult(all);
    AddFactoryConfig(all);
    return all;
}

std::vector<window::Control> KeyboardOrder() {
    using C = Control;
    // Top level, then inside the write parameters (the check box's frame comes before the
    // radio pair), then inside the factory group.
    return {C::cb_ICType,         C::btn_Load,          C::btn_Write,     C::btn_Verify,
            C::btn_Save,          C::cb_AutoRun,        C::edt_VID,       C::edt_PID,
            C::edt_AllCnt,        C::edt_RetryCnt,      C::cb_WriteID,    C::rb_CmdByte2K,
            C::rb_CmdByte256,     C::edt_Write256Count, C::edt_sleepTime, C::edt_FactoryType,
            C::edt_FactoryDate,   C::edt_FactoryNum,    C::cb_Factory,    C::cb_FactoryLine,
            C::cb_FactoryStation, C::btnReadFactory};
}

}  // namespace bw::winapp
