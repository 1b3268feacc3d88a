// The Windows views as the window's behaviour will drive them, on real windows (under Wine
// with a display: scripts/wine-gui-smoke.sh): the character filter and values of the
// numeric fields, what a change of state does and which events it raises, the lists' rows,
// the close query, the loading animation's frames, the options.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "production/conversion_error.h"
#include "sim/sim_platform.h"
#include "winapp/field_frames.h"
#include "winapp/file_dialogs.h"
#include "winapp/gui_options.h"
#include "winapp/line_simulator.h"
#include "winapp/loading_window.h"
#include "winapp/main_window.h"
#include "winapp/startup_stand_in.h"
#include "winapp/station_window.h"
#include "winapp/win_text.h"
#include "window/main_window_model.h"

namespace bw::winapp {
namespace {

using window::Control;
using window::Event;

struct Recorder : window::MainWindowEvents {
    std::vector<std::pair<Control, Event>> events;
    bool allowClose = true;
    void OnEvent(Control control, Event event) override { events.emplace_back(control, event); }
    bool OnCloseQuery() override { return allowClose; }
    int Count(Control control, Event event) const {
        int n = 0;
        for (const auto& e : events) n += e == std::make_pair(control, event) ? 1 : 0;
        return n;
    }
};

class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override { form.SetEvents(&events); }

    HWND Field(Control control) { return form.ControlWindow(control); }
    // Typed at the end of the field's text, one character message each.
    void Type(Control control, const std::wstring& keys) {
        HWND field = Field(control);
        const int end = GetWindowTextLengthW(field);
        SendMessageW(field, EM_SETSEL, end, end);
        for (const wchar_t c : keys) SendMessageW(field, WM_CHAR, c, 1);
    }
    void Paste(Control control, const std::wstring& text) {
        HWND field = Field(control);
        ASSERT_TRUE(OpenClipboard(field));
        EmptyClipboard();
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
        std::memcpy(GlobalLock(memory), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
        GlobalUnlock(memory);
        SetClipboardData(CF_UNICODETEXT, memory);
        CloseClipboard();
        const int end = GetWindowTextLengthW(field);
        SendMessageW(field, EM_SETSEL, end, end);
        SendMessageW(field, WM_PASTE, 0, 0);
    }

    TForm1 form{GetModuleHandleW(nullptr)};
    Recorder events;
};

TEST_F(MainWindowTest, TypedCharactersOutsideTheFieldsDigitsChangeNothing) {
    form.Apply(Control::edt_VID, {.text = ""});
    Type(Control::edt_VID, L"g-$ 1aFz9");
    EXPECT_EQ(form.Text(Control::edt_VID), "1aF9");
    Type(Control::edt_VID, L"\b");
    EXPECT_EQ(form.Text(Control::edt_VID), "1aF");
    // A wide character whose low byte is a digit ('1', 'a') stays out too.
    Type(Control::edt_VID, std::wstring{wchar_t(0x131), wchar_t(0x661), wchar_t(0xFF10)});
    EXPECT_EQ(form.Text(Control::edt_VID), "1aF");

    form.Apply(Control::edt_AllCnt, {.text = ""});
    Type(Control::edt_AllCnt, L"1a2-b3 ");
    EXPECT_EQ(form.Text(Control::edt_AllCnt), "123");
    // The field's limit: 4 digits typed at most.
    Type(Control::edt_AllCnt, L"456");
    EXPECT_EQ(form.Text(Control::edt_AllCnt), "1234");
}

TEST_F(MainWindowTest, APasteOnlyLetsANumberOfTheFieldsBaseIn) {
    form.Apply(Control::edt_RetryCnt, {.text = "7"});
    Paste(Control::edt_RetryCnt, L"12a");
    EXPECT_EQ(form.Text(Control::edt_RetryCnt), "7");
    Paste(Control::edt_RetryCnt, L"45");
    EXPECT_EQ(form.Text(Control::edt_RetryCnt), "745");
    // Ctrl+V arrives as a character message and pastes the same way.
    form.Apply(Control::edt_PID, {.text = ""});
    Paste(Control::edt_PID, L"c0 de");
    EXPECT_EQ(form.Text(Control::edt_PID), "");
    Paste(Control::edt_PID, L"c0de");
    EXPECT_EQ(form.Text(Control::edt_PID), "c0de");
    EXPECT_EQ(form.GetValue(Control::edt_PID), 0xC0DE);
    // Ctrl+V comes as a character message, and is checked the same way.
    form.Apply(Control::edt_AllCnt, {.text = ""});
    Paste(Control::edt_AllCnt, L"9x");
    Type(Control::edt_AllCnt, L"\x16");
    EXPECT_EQ(form.Text(Control::edt_AllCnt), "");
    Paste(Control::edt_AllCnt, L"12");
    Type(Control::edt_AllCnt, L"\x16");
    EXPECT_EQ(form.Text(Control::edt_AllCnt), "1212");
}

TEST_F(MainWindowTest, ValuesReadAndWriteTheTextWhole) {
    EXPECT_EQ(form.GetValue(Control::edt_VID), 0x3A5C);
    EXPECT_EQ(form.GetValue(Control::edt_FactoryNum), 1);
    form.Apply(Control::edt_sleepTime, {.text = ""});
    EXPECT_EQ(form.GetValue(Control::edt_sleepTime), 0);
    // More digits than the field takes typed: the whole value is shown all the same.
    form.SetValue(Control::edt_FactoryNum, 0x1000000);
    EXPECT_EQ(form.Text(Control::edt_FactoryNum), "1000000");
    EXPECT_EQ(form.GetValue(Control::edt_FactoryNum), 0x1000000);
    form.SetValue(Control::edt_FactoryType, -1);
    EXPECT_EQ(form.Text(Control::edt_FactoryType), "");
    form.Apply(Control::edt_AllCnt, {.text = "12a"});
    try {
        form.GetValue(Control::edt_AllCnt);
        ADD_FAILURE() << "no conversion error";
    } catch (const ConversionError& error) {
        EXPECT_STREQ(error.what(), "'012a' is not a valid integer value");
    }
}

TEST_F(MainWindowTest, FieldsReportEveryChangeListsOnlyTheOperators) {
    form.Apply(Control::edt_Write256Count, {.text = "5"});
    EXPECT_EQ(events.Count(Control::edt_Write256Count, Event::Change), 1);
    form.SetValue(Control::edt_Write256Count, 8);
    Type(Control::edt_Write256Count, L"x");  // dropped: no change
    EXPECT_EQ(events.Count(Control::edt_Write256Count, Event::Change), 2);

    form.Apply(Control::cb_ICType, {.text = "KVDE847"});
    EXPECT_EQ(form.SelectedRow(Control::cb_ICType), 2);
    form.Apply(Control::cb_ICType, {.text = "kvde847"});
    EXPECT_EQ(form.SelectedRow(Control::cb_ICType), -1);
    EXPECT_EQ(events.Count(Control::cb_ICType, Event::Change), 0);
    // A row chosen: the handler reads the row's text, not the one before it.
    HWND list = Field(Control::cb_ICType);
    SendMessageW(list, CB_SETCURSEL, 1, 0);
    SendMessageW(form.Handle(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(list));
    EXPECT_EQ(events.Count(Control::cb_ICType, Event::Change), 1);
    EXPECT_EQ(form.Text(Control::cb_ICType), "KVDE52xx");
    EXPECT_EQ(form.SelectedRow(Control::cb_ICType), 1);

    SendMessageW(Field(Control::btn_Load), BM_CLICK, 0, 0);
    EXPECT_EQ(events.Count(Control::btn_Load, Event::Click), 1);
}

TEST_F(MainWindowTest, StatesApplyToTheControlsTheyName) {
    form.Apply(Control::btn_Write, {.enabled = true});
    EXPECT_TRUE(IsWindowEnabled(Field(Control::btn_Write)));
    form.Apply(
        Control::lbl_CtrlResult,
        {.text = "Write Pass", .visible = true, .textColour = Rgb{0, 255, 0}, .fontPoints = 36});
    EXPECT_EQ(form.Text(Control::lbl_CtrlResult), "Write Pass");
    EXPECT_TRUE(GetWindowLongPtrW(Field(Control::lbl_CtrlResult), GWL_STYLE) & WS_VISIBLE);
    form.Apply(Control::rb_CmdByte256, {.checked = true});
    EXPECT_TRUE(form.Checked(Control::rb_CmdByte256));
    EXPECT_FALSE(form.Checked(Control::rb_CmdByte2K));
    // The path is never typed into, disabled or not; it stays legible.
    form.Apply(Control::edt_BinFile, {.text = "C:\\镜像\\demo.bin", .enabled = false});
    EXPECT_TRUE(IsWindowEnabled(Field(Control::edt_BinFile)));
    EXPECT_EQ(form.Text(Control::edt_BinFile), "C:\\镜像\\demo.bin");
    // What the window paints itself keeps its state too.
    form.Apply(Control::gbResult, {.text = "Result:"});
    EXPECT_EQ(form.Text(Control::gbResult), "Result:");
}

// A list's client area as it paints it, on a canvas first filled with a colour no control
// uses (what stays that colour was not painted).
struct ListPicture {
    int width = 0;
    int height = 0;
    std::vector<COLORREF> pixels;
    explicit ListPicture(HWND list) {
        RECT client{};
        GetClientRect(list, &client);
        width = client.right;
        height = client.bottom;
        HDC screen = GetDC(nullptr);
        HDC dc = CreateCompatibleDC(screen);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
        HGDIOBJ old = SelectObject(dc, bitmap);
        HBRUSH magenta = CreateSolidBrush(RGB(255, 0, 255));
        FillRect(dc, &client, magenta);
        DeleteObject(magenta);
        SendMessageW(list, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) pixels.push_back(GetPixel(dc, x, y));
        }
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
        ReleaseDC(nullptr, screen);
    }
    COLORREF At(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)]; }
};

TEST_F(MainWindowTest, ListsAreFramedAsTheFieldsEnabledOrNot) {
    // The system's combo box look (a grey frame, a white button) made enabled lists look
    // disabled beside the fields: every list draws the fields' black frame, the window's
    // colour inside it and the grey open button with its black arrow, in either state.
    const COLORREF window = RGB(239, 235, 222);
    const COLORREF black = RGB(0, 0, 0);
    for (const Control list : {Control::cb_ICType, Control::cb_Factory, Control::cb_FactoryLine,
                               Control::cb_FactoryStation}) {
        for (const bool enabled : {true, false}) {
            form.Apply(list, {.enabled = enabled});
            const ListPicture picture(Field(list));
            const int w = picture.width;
            const int h = picture.height;
            const std::string name =
                std::string(window::NameOf(list)) + (enabled ? " enabled" : " disabled");
            ASSERT_GT(w, kListButtonWidth + 10) << name;
            ASSERT_GE(h, 20) << name;
            EXPECT_EQ(picture.At(0, h / 2), black) << name;
            EXPECT_EQ(picture.At(w / 2, 0), black) << name;
            EXPECT_EQ(picture.At(w - 1, h / 2), black) << name;
            EXPECT_EQ(picture.At(w / 2, h - 1), black) << name;
            EXPECT_EQ(picture.At(1, 1), window) << name;
            EXPECT_EQ(picture.At(1, h - 2), window) << name;
            const int line = w - 1 - kListButtonWidth;
            EXPECT_EQ(picture.At(line, h / 2), black) << name;
            EXPECT_EQ(picture.At(w - 3, 2), RGB(231, 231, 231)) << name;
            EXPECT_EQ(picture.At((line + 1 + w - 1) / 2, h / 2), black) << name;  // the arrow
        }
        form.Apply(list, {.enabled = true});
        // The list's own edit field holds its text in the middle of the list's height.
        COMBOBOXINFO info{};
        info.cbSize = sizeof info;
        ASSERT_TRUE(GetComboBoxInfo(Field(list), &info));
        RECT outer{};
        GetWindowRect(Field(list), &outer);
        RECT text{};
        GetClientRect(info.hwndItem, &text);
        MapWindowPoints(info.hwndItem, nullptr, reinterpret_cast<POINT*>(&text), 2);
        const long above = text.top - outer.top;
        const long below = outer.bottom - text.bottom;
        EXPECT_LE(std::abs(above - below), 1) << window::NameOf(list);
        EXPECT_TRUE(IsWindowEnabled(info.hwndItem)) << window::NameOf(list);
    }
}

TEST_F(MainWindowTest, StartsCentredAt625By680WithTheCaptionsOfItsLanguage) {
    RECT outer{};
    GetWindowRect(form.Handle(), &outer);
    EXPECT_EQ(outer.right - outer.left, 625);
    EXPECT_EQ(outer.bottom - outer.top, 680);
    EXPECT_EQ(outer.left, (GetSystemMetrics(SM_CXSCREEN) - 625) / 2);
    EXPECT_EQ(WindowText(form.Handle()), L"MIRQ Mse Binwright v1.0");
    // Until a file is loaded and a mouse found, only the operation buttons are off.
    for (const window::ControlInfo& info : window::kControls) {
        HWND child = form.ControlWindow(info.control);
        if (child == nullptr) continue;
        const bool operation =
            info.control == Control::btn_Write || info.control == Control::btn_Verify ||
            info.control == Control::btn_Save || info.control == Control::btnReadFactory;
        EXPECT_EQ(IsWindowEnabled(child) != FALSE, !operation) << info.name;
    }
    {
        // The window's behaviour captions it at its creation.
        SimulatedPlatform line;
        window::MainWindowModel model(line, form);
        model.FormCreate(2052);
        EXPECT_EQ(form.Text(Control::lbl_ICType), "MIRQ IC Type");
        EXPECT_EQ(form.Text(Control::cb_AutoRun), "Auto Write");
        EXPECT_EQ(form.Text(Control::lbl_PassCnt), "0");
        EXPECT_EQ(form.Text(Control::rb_CmdByte2K), "2K Byte");  // the caption table leaves it
        model.SelectUiLanguage(1033);
        EXPECT_EQ(form.Text(Control::lbl_ICType), "MIRQ IC Type:");
    }
    form.SetEvents(&events);
}

TEST_F(MainWindowTest, ACloseWaitsForTheBehavioursYes) {
    events.allowClose = false;
    SendMessageW(form.Handle(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(IsWindow(form.Handle()));
    bool ran = false;
    form.Post([&ran] { ran = true; });
    form.ProcessEvents();
    EXPECT_TRUE(ran);
    events.allowClose = true;
    HWND window = form.Handle();
    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(window));
    // The message loop would end here; the test's own loop takes the quit message away.
    MSG quit;
    PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
}

TEST_F(MainWindowTest, TheLogoTheTimerAndTheTitleBarAnswerWhereTheyAre) {
    // A double click on the logo, and not beside it.
    SendMessageW(form.Handle(), WM_LBUTTONDBLCLK, 0, MAKELPARAM(100, 60));
    SendMessageW(form.Handle(), WM_LBUTTONDBLCLK, 0, MAKELPARAM(300, 60));
    EXPECT_EQ(events.Count(Control::Img_MIRQLog, Event::DoubleClick), 1);
    // The title bar moves the window, but not over its two buttons.
    RECT outer{};
    GetWindowRect(form.Handle(), &outer);
    const auto hit = [&](int x, int y) {
        return SendMessageW(form.Handle(), WM_NCHITTEST, 0,
                            MAKELPARAM(outer.left + x, outer.top + y));
    };
    EXPECT_EQ(hit(300, 12), HTCAPTION);
    EXPECT_EQ(hit(610, 12), HTCLIENT);
    EXPECT_EQ(hit(300, 200), HTCLIENT);
    // DevTimer ticks while it runs.
    form.StartTimer();
    EXPECT_TRUE(form.TimerRunning());
    for (int i = 0; i < 500 && events.Count(Control::DevTimer, Event::Tick) == 0; ++i) {
        form.ProcessEvents();
        Sleep(10);
    }
    EXPECT_GE(events.Count(Control::DevTimer, Event::Tick), 1);
    form.StopTimer();
    EXPECT_FALSE(form.TimerRunning());
}

// The password dialog, driven from a timer while its modal loop runs: what it opens with,
// then keys sent as the operator types them.
struct PasswordDriver {
    std::wstring opened{};  // the entry as the dialog opened
    wchar_t mask = 0;
    SIZE client{};
    RECT ok{};
    RECT cancel{};
    std::wstring typed{};
    UINT key = VK_RETURN;  // VK_RETURN, VK_ESCAPE, or 0 for the close button
};
PasswordDriver* g_driver = nullptr;

void CALLBACK DrivePasswordDialog(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = FindWindowW(nullptr, L"MIRQ Binwright ");
    if (dialog == nullptr || !IsWindowVisible(dialog)) return;
    KillTimer(nullptr, timer);
    PasswordDriver& d = *g_driver;
    HWND edit = FindWindowExW(dialog, nullptr, L"Edit", nullptr);
    d.opened = WindowText(edit);
    d.mask = static_cast<wchar_t>(SendMessageW(edit, EM_GETPASSWORDCHAR, 0, 0));
    RECT client{};
    GetClientRect(dialog, &client);
    d.client = {client.right, client.bottom};
    const auto place = [dialog](const wchar_t* caption) {
        RECT r{};
        GetWindowRect(FindWindowExW(dialog, nullptr, L"Button", caption), &r);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
        return r;
    };
    d.ok = place(L"OK");
    d.cancel = place(L"Cancel");
    SendMessageW(edit, EM_SETSEL, 0, -1);
    for (const wchar_t c : d.typed) SendMessageW(edit, WM_CHAR, c, 1);
    if (d.key == 0) {
        PostMessageW(dialog, WM_CLOSE, 0, 0);
    } else {
        PostMessageW(edit, WM_KEYDOWN, d.key, 1);
    }
}

std::optional<std::string> AskDriven(TForm1& form, PasswordDriver& driver, const char* last) {
    g_driver = &driver;
    SetTimer(nullptr, 0, 20, &DrivePasswordDialog);
    return form.AskPassword(last);
}

TEST_F(MainWindowTest, ThePasswordDialogKeepsOnlyWhatOkConfirms) {
    PasswordDriver first{.typed = L"GlimmerQX", .key = VK_RETURN};
    EXPECT_EQ(AskDriven(form, first, ""), std::optional<std::string>("GlimmerQX"));
    EXPECT_EQ(first.opened, L"");
    EXPECT_EQ(first.mask, L'*');
    EXPECT_EQ(first.client.cx, 254);
    EXPECT_EQ(first.client.cy, 177);
    // The buttons symmetric about the middle: OK at 254/2 - 73 - 8, Cancel at 254/2 + 8.
    EXPECT_EQ(first.ok.left, 46);
    EXPECT_EQ(first.cancel.left, 135);
    EXPECT_EQ(first.ok.right - first.ok.left, 73);
    EXPECT_EQ(first.cancel.bottom - first.cancel.top, 25);

    // The next showing opens with the entry confirmed last; Escape and the close button
    // keep it.
    PasswordDriver escaped{.typed = L"other", .key = VK_ESCAPE};
    EXPECT_EQ(AskDriven(form, escaped, "GlimmerQX"), std::nullopt);
    EXPECT_EQ(escaped.opened, L"GlimmerQX");
    PasswordDriver closed{.typed = L"other", .key = 0};
    EXPECT_EQ(AskDriven(form, closed, "GlimmerQX"), std::nullopt);
}

TEST(LoadingWindow, AnimatesTheTwelveFramesCentredOverTheMainWindow) {
    TForm1 form(GetModuleHandleW(nullptr));
    TFormLoadingUI loading(GetModuleHandleW(nullptr));
    EXPECT_EQ(loading.FrameCount(), 12);
    for (int frame = 0; frame < loading.FrameCount(); ++frame) {
        EXPECT_EQ(loading.FrameDelayMs(frame), 50u) << frame;
    }
    RECT main{};
    GetWindowRect(form.Handle(), &main);
    loading.PlaceAtCreation(form.Handle());
    RECT at{};
    GetWindowRect(loading.Handle(), &at);
    EXPECT_EQ(at.left, main.left + (625 - 206) / 2);
    EXPECT_EQ(at.top, main.top + (680 - 196) / 2 + 40);
    EXPECT_EQ(at.right - at.left, 206);
    SetWindowPos(form.Handle(), nullptr, main.left + 50, main.top - 30, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    loading.ShowOver(form.Handle());
    GetWindowRect(loading.Handle(), &at);
    EXPECT_EQ(at.left, main.left + 50 + (625 - 206) / 2);
    EXPECT_EQ(at.top, main.top - 30 + (680 - 196) / 2);
    EXPECT_TRUE(IsWindowVisible(loading.Handle()));
    EXPECT_TRUE(GetWindowLongPtrW(loading.Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    loading.Hide();
    EXPECT_FALSE(IsWindowVisible(loading.Handle()));
}

TEST(LineSimulatorWindow, ValuesStayInTheirRangesAndTheArrowsReportChanges) {
    struct Heard : window::LineSimulatorEvents {
        std::vector<window::SimControl> changed;
        void OnSimEvent(window::SimControl c, window::SimEvent e) override {
            if (e == window::SimEvent::Change) changed.push_back(c);
        }
        void OnPlaced(bool) override {}
    } heard;
    LineSimulatorWindow simulator(GetModuleHandleW(nullptr));
    simulator.SetEvents(&heard);
    simulator.SetValue(window::SimControl::Status1, 0xAA);
    EXPECT_EQ(WindowText(simulator.ControlWindow(window::SimControl::Status1)), L"0xaa");
    simulator.SetValue(window::SimControl::Status1, 300);
    EXPECT_EQ(simulator.Value(window::SimControl::Status1), 255);
    simulator.SetValue(window::SimControl::LatencyUs, 4000);
    EXPECT_EQ(WindowText(simulator.ControlWindow(window::SimControl::LatencyUs)), L"4000 us");
    simulator.SetValue(window::SimControl::NackOn, 1);
    EXPECT_EQ(simulator.Value(window::SimControl::NackOn), 1);
    EXPECT_TRUE(heard.changed.empty());
    // Typed: a number in range takes effect.
    SetWindowTextW(simulator.ControlWindow(window::SimControl::AckAfter), L"7");
    EXPECT_EQ(simulator.Value(window::SimControl::AckAfter), 7);
    SetWindowTextW(simulator.ControlWindow(window::SimControl::AckAfter), L"700");
    EXPECT_EQ(simulator.Value(window::SimControl::AckAfter), 7);
    SetWindowTextW(simulator.ControlWindow(window::SimControl::Chip), L"0x3F");
    EXPECT_EQ(simulator.Value(window::SimControl::Chip), 0x3F);
    SetWindowTextW(simulator.ControlWindow(window::SimControl::LatencyUs), L"250 us");
    EXPECT_EQ(simulator.Value(window::SimControl::LatencyUs), 250);
    EXPECT_EQ(heard.changed, (std::vector<window::SimControl>{window::SimControl::AckAfter,
                                                              window::SimControl::Chip,
                                                              window::SimControl::LatencyUs}));

    // Folded: the fault and status controls hidden and the window as short as the devices;
    // the button that folds them reports its click as a switch.
    const auto shown = [&](window::SimControl c) {
        return (GetWindowLongPtrW(simulator.ControlWindow(c), GWL_STYLE) & WS_VISIBLE) != 0;
    };
    const auto height = [&] {
        RECT r{};
        GetWindowRect(simulator.Handle(), &r);
        return r.bottom - r.top;
    };
    EXPECT_EQ(simulator.Value(window::SimControl::Details), 1);
    const int whole = height();
    simulator.SetValue(window::SimControl::Details, 0);
    EXPECT_LT(height(), whole / 2);
    EXPECT_FALSE(shown(window::SimControl::Chip));
    EXPECT_FALSE(shown(window::SimControl::NackOn));
    EXPECT_TRUE(shown(window::SimControl::PullOther));
    SendMessageW(simulator.ControlWindow(window::SimControl::Details), BM_CLICK, 0, 0);
    EXPECT_EQ(heard.changed.back(), window::SimControl::Details);
    EXPECT_EQ(simulator.Value(window::SimControl::Details), 1);
    simulator.SetValue(window::SimControl::Details, 1);
    EXPECT_EQ(height(), whole);
    EXPECT_TRUE(shown(window::SimControl::Chip));
}

TEST(StationWindow, ATileComesForEverySlotToldFourToARow) {
    StationWindow station(GetModuleHandleW(nullptr), 2);
    EXPECT_EQ(station.TileCount(), 2);
    RECT first = station.TileRect(1);
    RECT second = station.TileRect(2);
    EXPECT_EQ(first.top, second.top);
    EXPECT_LT(first.right, second.left);
    station.SetTile(
        {.slot = 7, .port = "port7", .text = "Pass", .colour = {0, 255, 0}, .large = true});
    EXPECT_EQ(station.TileCount(), 3);
    station.SetTile({.slot = 7, .text = "Writing 2048 bytes"});
    EXPECT_EQ(station.TileCount(), 3);
    // Slot 7 is the third of the second row, below slot 3's place; the rows share the
    // height, and the window's client area holds them.
    const RECT seventh = station.TileRect(7);
    const RECT third = station.TileRect(3);
    EXPECT_EQ(seventh.left, third.left);
    EXPECT_GT(seventh.top, third.bottom);
    RECT client{};
    GetClientRect(station.Handle(), &client);
    EXPECT_LE(seventh.bottom, client.bottom);
    EXPECT_LE(station.TileRect(8).right, client.right);
    EXPECT_EQ(WindowText(station.Handle()), L"MIRQ Binwright gang station");
}

TEST(DialogFilter, EachPartEndedByANullTheWholeByASecond) {
    using namespace std::string_literals;
    EXPECT_EQ(DialogFilter(L"LoadFile(*.bin)|*.bin"), L"LoadFile(*.bin)\0*.bin\0\0"s);
    EXPECT_EQ(DialogFilter(L"SaveFile(*.bin)|*.bin"), L"SaveFile(*.bin)\0*.bin\0\0"s);
    EXPECT_EQ(DialogFilter(L"A|*.a|B|*.b;*.c"), L"A\0*.a\0B\0*.b;*.c\0\0"s);
}

TEST(GuiOptions, ReadAsTheLinuxWindowReadsThem) {
    ParsedGuiOptions p = ParseGuiOptions({"--simulate"});
    EXPECT_FALSE(p.exitCode);
    EXPECT_TRUE(p.options.window.platform.simulate);
    EXPECT_EQ(p.options.window.platform.scenario, "");
    p = ParseGuiOptions({"--simulate=ic=1,mice=2", "--log", "日志.csv", "--ledger", "led.db"});
    EXPECT_EQ(p.options.window.platform.scenario, "ic=1,mice=2");
    EXPECT_EQ(p.options.window.logFile, "日志.csv");
    EXPECT_EQ(p.options.window.ledger.url, "led.db");
    EXPECT_FALSE(p.options.gang);
    // The station's own options are kept for its setup, in their order.
    p = ParseGuiOptions({"--gang", "demo.bin", "--slots", "8", "--sn", "1A0"});
    EXPECT_FALSE(p.exitCode);
    EXPECT_TRUE(p.options.gang);
    EXPECT_EQ(p.options.gangImage, "demo.bin");
    EXPECT_EQ(p.options.gangOptions, (std::vector<std::string>{"--slots", "8", "--sn", "1A0"}));
    // Without --gang they are no options of the window.
    p = ParseGuiOptions({"--slots", "8"});
    EXPECT_EQ(p.exitCode, 2);
    p = ParseGuiOptions({"--expect-sha256", "12"});
    EXPECT_EQ(p.exitCode, 2);
    EXPECT_NE(p.said.find("not a SHA-256"), std::string::npos);
    p = ParseGuiOptions({"--expect-sha256", std::string(64, 'a'), "--trace", "t.txt"});
    EXPECT_TRUE(p.options.window.approvedSha256.has_value());
    EXPECT_FALSE(p.options.window.platform.simulate);
    EXPECT_EQ(p.options.window.platform.traceFile, "t.txt");
    p = ParseGuiOptions({"--version"});
    EXPECT_EQ(p.exitCode, 0);
    EXPECT_NE(p.said.find("binwright-gui "), std::string::npos);
    p = ParseGuiOptions({"--help"});
    EXPECT_EQ(p.exitCode, 0);
    EXPECT_NE(p.said.find("--simulate"), std::string::npos);
}

}  // namespace
}  // namespace bw::winapp
