// The window's load, write, verify, save and factory read-back on the simulated
// line: captions, colours, pass count and the controls left enabled.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "image/image_identity.h"
#include "ledger/ledger.h"
#include "sim/scenario.h"
#include "window/main_window_fixture.h"

namespace bw::test {
namespace {

class OperationsTest : public MainWindowTest {
  protected:
    // Image loaded and the mouse found in manual mode.
    void Ready(const Scenario& scenario = {}) {
        Start(scenario);
        Load();
        ASSERT_TRUE(Tick());
        ASSERT_TRUE(ButtonsEnabled());
    }
    SimulatedMouse& Mouse() { return *line->currentMouse(); }
};

TEST_F(OperationsTest, LoadAcceptsOnly2048ByteFilesAndKeepsTheImageOtherwise) {
    Start();
    Load();
    EXPECT_TRUE(model->station.ImageLoaded);
    EXPECT_EQ(model->station.LoadedImageType, "KVDE31X");
    EXPECT_TRUE(view.TimerRunning());
    EXPECT_EQ(model->state.ImageBuffer, image);

    Image other{};
    const std::string shortFile = WriteFile("short.bin", other, 2047);
    view.openFiles.push_back(shortFile);
    ASSERT_TRUE(Run(&MainWindowModel::btn_LoadClick));
    EXPECT_FALSE(form(Control::lbl_BINICTypeError).isHidden());
    EXPECT_FALSE(model->station.ImageLoaded);
    EXPECT_TRUE(model->station.LoadedImageType.empty());
    EXPECT_FALSE(view.TimerRunning());
    EXPECT_EQ(model->state.ImageBuffer, image);
    EXPECT_EQ(form(Control::edt_BinFile).text(), shortFile);

    // Cancelled: unloaded, the old path stays.
    view.openFiles.push_back(std::nullopt);
    ASSERT_TRUE(Run(&MainWindowModel::btn_LoadClick));
    EXPECT_TRUE(form(Control::lbl_BINICTypeError).isHidden());
    EXPECT_EQ(form(Control::edt_BinFile).text(), shortFile);

    // A file that cannot be opened goes to the error box; polling stays off.
    view.openFiles.push_back(dir.filePath("missing.bin"));
    EXPECT_FALSE(Run(&MainWindowModel::btn_LoadClick));
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(Contains(boxes[0], "missing.bin"));
    EXPECT_FALSE(view.TimerRunning());
    EXPECT_FALSE(model->station.ImageLoaded);
}

TEST_F(OperationsTest, LoadShowsTheImageIdentityAndRefusesAnImageNotApproved) {
    Start();
    const ImageIdentity identity = IdentifyImage(image);
    const std::string sha = identity.sha256Hex();
    struct Case {
        std::optional<Sha256> approved;
        bool loaded;
    };
    const Case cases[] = {
        {std::nullopt, true}, {IdentifyImage(Image{}).sha256, false}, {identity.sha256, true}};
    for (const auto& c : cases) {
        boxes.clear();
        model->approvedSha256 = c.approved;
        Load();
        EXPECT_EQ(model->station.ImageLoaded, c.loaded);
        EXPECT_EQ(view.TimerRunning(), c.loaded);
        EXPECT_EQ(form(Control::lbl_BinIdentity).isHidden(), !c.loaded);
        EXPECT_EQ(Contains(form(Control::edt_BinFile).toolTip(), sha), c.loaded);
        if (c.loaded) {
            EXPECT_EQ(form(Control::lbl_BinIdentity).text(), identity.shortText());
            EXPECT_EQ(model->station.LoadedImageIdentity, identity);
            EXPECT_TRUE(boxes.empty());
        } else {
            ASSERT_EQ(boxes.size(), 1);
            EXPECT_EQ(boxes[0], "image.bin is not the approved image (sha256 " + sha + ")");
            EXPECT_TRUE(form(Control::edt_BinFile).text().empty());
            EXPECT_FALSE(model->station.LoadedImageIdentity);
        }
    }
    // A new IC type forgets the image and its identity.
    form(Control::cb_ICType).setCurrentIndex(1);
    ASSERT_TRUE(Run(&MainWindowModel::cb_ICTypeChange));
    EXPECT_TRUE(form(Control::lbl_BinIdentity).isHidden());
    EXPECT_TRUE(form(Control::edt_BinFile).toolTip().empty());
}

// The window has no opt-out: every write reads back every byte it wrote before "Write Pass",
// the second and third IC types the whole memory, the first all eight blocks in 2K format.
TEST_F(OperationsTest, EveryWriteReadsBackEveryByteItWrote) {
    struct Row {
        const char* keys;
        int blocks;
    };
    for (const Row& row : {Row{"ic=1,stuck-byte=300", 8}, Row{"ic=2,split=1,stuck-byte=300", 8},
                           Row{"stuck-byte=500", 1}, Row{"stuck-byte=500", 5}}) {
        SCOPED_TRACE(row.keys);
        Ready(ParseScenario(row.keys));
        ASSERT_NE(image[0x300], 0xFF);
        ASSERT_NE(image[0x500], 0xFF);
        view.SetValue(Control::edt_Write256Count, row.blocks);
        ASSERT_TRUE(Run(&MainWindowModel::btn_WriteClick));
        EXPECT_EQ(form(Control::lbl_CtrlResult).text(), "Write Fail");
        EXPECT_EQ(model->state.LastReason.codeName(), "mismatch");
        EXPECT_EQ(form(Control::lbl_PassCnt).text(), "0");
    }
}

// A write, verify or save that ends without its pass shows its failure in red with the reason
// under it, also when the mouse never answered; the result never keeps the text it had for
// the mouse before (a "Write Pass" kept would advance the next mouse's number).
TEST_F(OperationsTest, EveryEndWithoutAPassShowsItsFailureAndWhy) {
    struct Row {
        const char* keys;  // what the second mouse does
        void (MainWindowModel::*handler)();
        const char* shown;
        const char* code;
        bool devError = false;  // "BIN file not match Mouse" shows instead
    };
    const std::vector<Row> rows = {
        {"nack=1", &MainWindowModel::btn_WriteClick, "Write Fail", "no-answer"},
        {"status1=55", &MainWindowModel::btn_WriteClick, "Write Fail", "bad-status"},
        {"nack=3", &MainWindowModel::btn_VerifyClick, "Verify Fail", "no-answer"},
        {"status1=55", &MainWindowModel::btn_VerifyClick, "Verify Fail", "bad-status"},
        {"nack=1", &MainWindowModel::btn_SaveClick, "Save Fail", "no-answer"},
        {"status1=55", &MainWindowModel::btn_SaveClick, "Save Fail", "bad-status"},
        {"chip=36", &MainWindowModel::btn_WriteClick, "Write Fail", "wrong-chip", true},
    };
    const std::string saved = dir.filePath("saved");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.keys);
        Ready();
        view.saveFiles.push_back(saved);
        ASSERT_TRUE(Run(&MainWindowModel::btn_WriteClick));
        ASSERT_EQ(form(Control::lbl_CtrlResult).text(), "Write Pass");
        const Scenario fault = ParseScenario(row.keys);
        line->faults() = fault.faults;
        Mouse().status() = {fault.status1, fault.status2, fault.chip};

        ASSERT_TRUE(Run(row.handler));
        EXPECT_EQ(form(Control::lbl_CtrlResult).text(), row.shown);
        EXPECT_EQ(ResultColour(), (Rgb{255, 0, 0}));
        EXPECT_EQ(ResultShown(), !row.devError);
        EXPECT_EQ(form(Control::lbl_BINDevError).isHidden(), !row.devError);
        if (row.handler == &MainWindowModel::btn_WriteClick) {
            EXPECT_EQ(form(Control::lbl_CtrlResult).pointSize(), 36);
        }
        const Reason& reason = model->state.LastReason;
        EXPECT_EQ(reason.codeName(), row.code);
        EXPECT_FALSE(form(Control::lbl_ResultReason).isHidden());
        EXPECT_EQ(form(Control::lbl_ResultReason).toolTip(), reason.text);
        EXPECT_EQ(form(Control::lbl_PassCnt).text(), "1");
    }
}

// No retry means no attempt: refused with an error box before the mouse is touched. The
// result says "Write Fail" and why: the "Write Pass" of the mouse before would advance the
// next mouse's number for a mouse that never got this one.
TEST_F(OperationsTest, NoRetryIsRefusedBeforeTheMouseIsTouched) {
    Ready();
    ASSERT_TRUE(Run(&MainWindowModel::btn_WriteClick));
    ASSERT_EQ(form(Control::lbl_CtrlResult).text(), "Write Pass");
    view.SetValue(Control::edt_RetryCnt, 0);
    const long transfers = line->transferCount();
    EXPECT_FALSE(Run(&MainWindowModel::btn_WriteClick));
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(Contains(boxes.front(), "Retry Times")) << boxes.front();
    EXPECT_EQ(line->transferCount(), transfers);
    EXPECT_EQ(form(Control::lbl_PassCnt).text(), "1");
    EXPECT_EQ(form(Control::lbl_CtrlResult).text(), "Write Fail");
    EXPECT_TRUE(ResultShown());
    EXPECT_EQ(model->state.LastReason.codeName(), "bad-parameters");
    EXPECT_FALSE(form(Control::lbl_ResultReason).isHidden());
    EXPECT_TRUE(ButtonsEnabled());
}

// Why an operation did not pass: in small type under the result, left of the pass counter,
// the whole text in the result's tooltip; a pass clears it.
TEST_F(OperationsTest, TheReasonStandsUnderTheResultAndInItsTooltip) {
    struct Row {
        const char* keys;
        void (MainWindowModel::*handler)();
        const char* code;  // "" for a pass
    };
    const std::vector<Row> rows = {
        {"stuck-byte=2A7", &MainWindowModel::btn_WriteClick, "mismatch"},
        {"nack=1", &MainWindowModel::btn_VerifyClick, "no-answer"},
        {"chip=36", &MainWindowModel::btn_WriteClick, "wrong-chip"},
        {"fail-after=300", &MainWindowModel::btn_WriteClick, "removed"},
        {"ic=1,lose-piece=4", &MainWindowModel::btn_VerifyClick, "piece-lost"},
        {"", &MainWindowModel::btn_WriteClick, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.keys);
        Ready(ParseScenario(row.keys));
        ASSERT_TRUE(Run(row.handler));
        const Reason& reason = model->state.LastReason;
        EXPECT_EQ(reason.codeName(), row.code);
        const FakeControl small = form(Control::lbl_ResultReason);
        EXPECT_EQ(small.isHidden(), reason.empty());
        EXPECT_EQ(form(Control::lbl_CtrlResult).toolTip(), reason.text);
        if (reason.empty()) continue;
        // Whole (the view wraps it within its place).
        EXPECT_EQ(small.text(), reason.text);
        EXPECT_EQ(small.toolTip(), reason.text);
    }
}

TEST_F(OperationsTest, FirstIcTypeWritePassesInLimeAt36PointAndCounts) {
    Ready();
    ASSERT_TRUE(Run(&MainWindowModel::btn_WriteClick));
    EXPECT_EQ(form(Control::lbl_CtrlResult).text(), "Write Pass");
    EXPECT_EQ(ResultColour(), (Rgb{0, 255, 0}));
    EXPECT_EQ(form(Control::lbl_CtrlResult).pointSize(), 36);
    EXPECT_TRUE(ResultShown());
    EXPECT_EQ(form(Control::lbl_PassCnt).text(), "1");
    EXPECT_TRUE(ButtonsEnabled());
    EXPECT_TRUE(view.TimerRunning());
    EXPECT_EQ(Mouse().memory(), image);
    EXPECT_FALSE(model->OperationRunning());
}

TEST_F(OperationsTest, FirstIcTypeWriteFailsInRedAndDoesNotCount) {
    Ready();
    line->faults().failAfter = static_cast<int>(line->transferCount()) + 20;
    ASSERT_TRUE(Run(&MainWindowModel::btn_WriteClick));
    EXPECT_EQ(form(Control::lbl_CtrlResult).text(), "Write Fail");
    EXPECT_EQ(ResultColour(), (Rgb{255, 0, 0}));
    EXPECT_EQ(form(Control::lbl_PassCnt).text(), "0");
    EXPECT_TRUE(ButtonsEnabled());
}

TEST_F(OperationsTest, SecondIcTypeWritePassesInGreenAndKeepsTheFontSize) {
    Scenario scenario;
    scenario.ic = 1;
    Ready(scenario);
    const std::optional<int> size = form(Control::lbl_CtrlResult).pointSize();
    ASSERT_TRUE(Run(&MainWindowModel::btn_WriteClick));
    EXPECT_EQ(form(Control::lbl_CtrlResult).text(), "Write Pass");
    EXPECT_EQ(ResultColour(), (Rgb{0, 128, 0}));
    EXPECT_EQ(form(Control::lbl_CtrlResult).pointSize(), size);
    EXPECT_EQ(form(Control::lbl_PassCnt).text(), "1");
    EXPECT_EQ(Mouse().memory(), image);
}

TEST_F(OperationsTest, WrongChipShowsMismatchAndAQuietMouseShowsWriteFail) {
    Ready();
    Mouse().status().chip = 0x36;
    ASSERT_TRUE(Run(&MainWindowModel::btn_WriteClick));
    EXPECT_FALSE(form(Control::lbl_BINDevError).isHidden());
    EXPECT_FALSE(ResultShown());
    EXPECT_EQ(form(Control::lbl_PassCnt).text(), "0");
    EXPECT_TRUE(ButtonsEnabled());

    Mouse().status().chip = 0x35;
    Mouse().status().status1 = 0xAB;
    view.Apply(Control::lbl_BINDevError, {.visible = false});
    ASSERT_TRUE(Run(&MainWindowModel::btn_WriteClick));
    EXPECT_TRUE(form(Control::lbl_BINDevError).isHidden());
    EXPECT_TRUE(ResultShown());
    EXPECT_EQ(form(Control::lbl_CtrlResult).text(), "Write Fail");
    EXPECT_TRUE(ButtonsEnabled());
    EXPECT_TRUE(view.TimerRunning());
}

TEST_F(OperationsTest, FieldThatDoesNotConvertStopsTheWriteBeforeAnyTransfer) {
    Ready();
    form(Control::edt_sleepTime).setText("1x");
    line->clearTransfers();
    EXPECT_FALSE(Run(&MainWindowModel::btn_WriteClick));
    EXPECT_TRUE(line->transfers().empty());
    ASSERT_EQ(boxes.size(), 1);
    // The window stays usable.
    EXPECT_TRUE(ButtonsEnabled());
    EXPECT_TRUE(view.TimerRunning());
    EXPECT_FALSE(model->OperationRunning());

    // A factory field counts too when the record is to be written.
    form(Control::edt_sleepTime).setText("100");
    form(Control::cb_WriteID).setChecked(true);
    form(Control::edt_FactoryDate).setText("zz");
    EXPECT_FALSE(Run(&MainWindowModel::btn_WriteClick));
    EXPECT_TRUE(line->transfers().empty());
}

TEST_F(OperationsTest, VerifyPassesInGreenAndFailsInRed) {
    Ready();
    ASSERT_TRUE(Run(&MainWindowModel::btn_WriteClick));
    ASSERT_TRUE(Run(&MainWindowModel::btn_VerifyClick));
    EXPECT_EQ(form(Control::lbl_CtrlResult).text(), "Verify Pass");
    EXPECT_EQ(ResultColour(), (Rgb{0, 128, 0}));
    EXPECT_EQ(form(Control::lbl_CtrlResult).pointSize(), 36);  // kept from the write
    EXPECT_TRUE(ButtonsEnabled());
    EXPECT_TRUE(view.TimerRunning());

    Mouse().memory()[200] ^= 0xFF;
    ASSERT_TRUE(Run(&MainWindowModel::btn_VerifyClick));
    EXPECT_EQ(form(Control::lbl_CtrlResult).text(), "Verify Fail");
    EXPECT_EQ(ResultColour(), (Rgb{255, 0, 0}));
    EXPECT_EQ(form(Control::lbl_PassCnt).text(), "1");
}

TEST_F(OperationsTest, SaveWritesTheDeviceMemoryOnlyWhenTheReadPassed) {
    Ready();
    Mouse().memory() = image;
    view.Apply(Control::cb_AutoRun, {.enabled = false});
    const std::string chosen = dir.filePath("dump");
    view.saveFiles.push_back(chosen);
    ASSERT_TRUE(Run(&MainWindowModel::btn_SaveClick));
    EXPECT_EQ(form(Control::lbl_CtrlResult).text(), "Save Pass");
    EXPECT_EQ(ResultColour(), (Rgb{0, 128, 0}));
    std::ifstream saved(chosen + ".bin", std::ios::binary);
    ASSERT_TRUE(saved);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(saved), {}};
    ASSERT_EQ(bytes.size(), 2048u);
    EXPECT_TRUE(std::equal(image.begin(), image.end(),
                           reinterpret_cast<const std::uint8_t*>(bytes.data())));
    EXPECT_TRUE(ButtonsEnabled());
    EXPECT_TRUE(form(Control::cb_AutoRun).isEnabled());

    // A silent mouse: "Save Fail" and no file.
    line->faults().nack = 1;
    const std::string second = dir.filePath("second");
    view.saveFiles.push_back(second);
    ASSERT_TRUE(Run(&MainWindowModel::btn_SaveClick));
    EXPECT_EQ(form(Control::lbl_CtrlResult).text(), "Save Fail");
    EXPECT_EQ(ResultColour(), (Rgb{255, 0, 0}));
    EXPECT_FALSE(std::filesystem::exists(second + ".bin"));
    EXPECT_TRUE(ButtonsEnabled());

    // A lost piece is a failure too, never a file of fill bytes.
    line->faults().nack = -1;
    line->faults().losePiece = 3;
    ASSERT_TRUE(Run(&MainWindowModel::btn_SaveClick));
    EXPECT_EQ(form(Control::lbl_CtrlResult).text(), "Save Fail");
    EXPECT_FALSE(std::filesystem::exists(second + ".bin"));
}

TEST_F(OperationsTest, SaveIntoAFolderThatDoesNotExistShowsTheReasonAndUnlocks) {
    Ready();
    ASSERT_TRUE(Run(&MainWindowModel::btn_WriteClick));
    view.saveFiles.push_back(dir.filePath("no/such/folder/dump"));
    const long transfers = line->transferCount();
    EXPECT_FALSE(Run(&MainWindowModel::btn_SaveClick));
    ASSERT_EQ(boxes.size(), 1);
    // Said before the mouse is read.
    EXPECT_TRUE(Contains(boxes.front(), "does not exist")) << boxes.front();
    EXPECT_EQ(line->transferCount(), transfers);
    EXPECT_TRUE(ButtonsEnabled());
    // The result no longer says the "Write Pass" before it.
    EXPECT_EQ(form(Control::lbl_CtrlResult).text(), "Save Fail");
    EXPECT_EQ(model->state.LastReason.codeName(), "bad-parameters");
}

TEST_F(OperationsTest, FactoryReadBackFillsTheFieldsOrFailsWithThemUnchanged) {
    Ready();
    form(Control::cb_WriteID).setChecked(true);
    form(Control::edt_FactoryNum).setText("00ABCD");
    form(Control::cb_FactoryLine).setCurrentIndex(3);
    ASSERT_TRUE(Run(&MainWindowModel::btn_WriteClick));
    ASSERT_EQ(form(Control::lbl_CtrlResult).text(), "Write Pass");

    form(Control::edt_FactoryNum).setText("1");
    form(Control::cb_FactoryLine).setCurrentIndex(0);
    form(Control::edt_FactoryType).clear();
    ASSERT_TRUE(Run(&MainWindowModel::btnReadFactoryClick));
    EXPECT_EQ(form(Control::lbl_CtrlResult).text(), "Read Ok");
    EXPECT_EQ(ResultColour(), (Rgb{0, 128, 0}));
    EXPECT_EQ(form(Control::edt_FactoryNum).text(), "ABCD");
    EXPECT_EQ(form(Control::edt_FactoryType).text(), "5");
    EXPECT_EQ(form(Control::edt_FactoryDate).text(), "20200527");
    EXPECT_EQ(form(Control::cb_FactoryLine).text(), "D");
    EXPECT_TRUE(ButtonsEnabled());
    EXPECT_TRUE(view.TimerRunning());

    // All 0xFF: out-of-range list bytes select no row.
    std::fill_n(Mouse().memory().begin() + 160, 12, 0xFF);
    ASSERT_TRUE(Run(&MainWindowModel::btnReadFactoryClick));
    EXPECT_EQ(form(Control::edt_FactoryType).text(), "FFFF");
    EXPECT_EQ(form(Control::edt_FactoryDate).text(), "");
    EXPECT_EQ(form(Control::cb_Factory).currentIndex(), -1);

    form(Control::edt_FactoryNum).setText("77");
    line->faults().nack = 3;
    ASSERT_TRUE(Run(&MainWindowModel::btnReadFactoryClick));
    EXPECT_EQ(form(Control::lbl_CtrlResult).text(), "Read Fail");
    EXPECT_EQ(ResultColour(), (Rgb{255, 0, 0}));
    EXPECT_EQ(form(Control::edt_FactoryNum).text(), "77");
    EXPECT_TRUE(ButtonsEnabled());
}

TEST_F(OperationsTest, IcTypeChangeForgetsImageAndCountAndSetsTheIdentity) {
    Ready();
    ASSERT_TRUE(Run(&MainWindowModel::btn_WriteClick));
    form(Control::edt_VID).setText("1234");
    view.Apply(Control::lbl_BINICTypeError, {.visible = true});
    form(Control::cb_ICType).setCurrentIndex(2);
    ASSERT_TRUE(Run(&MainWindowModel::cb_ICTypeChange));
    EXPECT_EQ(form(Control::edt_BinFile).text(), "");
    EXPECT_FALSE(model->station.ImageLoaded);
    EXPECT_EQ(model->station.PassCount, 0);
    EXPECT_EQ(form(Control::lbl_PassCnt).text(), "0");
    EXPECT_TRUE(form(Control::lbl_BINICTypeError).isHidden());
    EXPECT_FALSE(view.TimerRunning());
    EXPECT_EQ(form(Control::edt_VID).text(), "3A5C");
    EXPECT_EQ(form(Control::edt_PID).text(), "0C37");
}

}  // namespace
}  // namespace bw::test

namespace bw::test {
namespace {

// With a ledger: the number field is read-only and shows the next number; a write with the
// record takes its number from the ledger (after ending what a stop of this station left)
// and the field follows; a write the ledger cannot number is refused with the mouse
// untouched; every operation is a row.
TEST_F(OperationsTest, WithALedgerTheNumbersComeFromItAndTheFieldFollows) {
    const std::string url = dir.filePath("ledger.db");
    ledger::StationLedger station(ledger::OpenLedger(url), "st-1");
    station.ledger().reserve(5, "st-1");  // left by a crash: released at the first write
    Ready();
    model->UseLedger(&station);
    EXPECT_TRUE(form(Control::edt_FactoryNum).isReadOnly());
    EXPECT_EQ(form(Control::edt_FactoryNum).text(), "2");  // the dangling 1 is not ended yet
    form(Control::cb_WriteID).setChecked(true);

    struct Step {
        void (MainWindowModel::*handler)();
        const char* result;
        const char* field;  // the number field afterwards
    };
    const std::vector<Step> steps = {{&MainWindowModel::btn_WriteClick, "Write Pass", "2"},
                                     {&MainWindowModel::btn_WriteClick, "Write Pass", "3"},
                                     {&MainWindowModel::btn_VerifyClick, "Verify Pass", "3"}};
    for (const Step& step : steps) {
        ASSERT_TRUE(Run(step.handler));
        EXPECT_EQ(form(Control::lbl_CtrlResult).text(), step.result);
        EXPECT_EQ(form(Control::edt_FactoryNum).text(), step.field);
    }
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(Contains(boxes[0], "released product number 000001 of type 0005"));
    EXPECT_EQ(Mouse().memory()[168], 2);  // rewritten: the last number it got
    // Another type has no numbers: 1; past FFFFFF nothing is left and nothing is written.
    form(Control::edt_FactoryType).setText("6");
    EXPECT_EQ(form(Control::edt_FactoryNum).text(), "1");
    station.ledger().setFirstNumber(6, 0xFFFFFF);
    station.ledger().markSending(station.ledger().reserve(6, "st-2"));
    model->ShowNextNumber();
    EXPECT_EQ(form(Control::edt_FactoryNum).text(), "");
    const long transfers = line->transferCount();
    EXPECT_FALSE(Run(&MainWindowModel::btn_WriteClick));
    EXPECT_EQ(line->transferCount(), transfers);
    EXPECT_TRUE(Contains(boxes.back(), "has no number left"));
    // A failed verify: its row names the reason's code.
    model->state.ImageBuffer[0x10] ^= 0xFF;
    ASSERT_TRUE(Run(&MainWindowModel::btn_VerifyClick));

    const auto rows = station.ledger().operations();
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_FALSE(rows[2].record.reason);
    EXPECT_EQ(rows[3].record.reason.value_or(""), "mismatch");
    EXPECT_EQ(rows[0].record.productNumber, 1);
    EXPECT_EQ(rows[1].record.productNumber, 2);
    EXPECT_EQ(rows[2].record.operation, "verify");
    EXPECT_EQ(rows[2].record.station, "st-1");
    EXPECT_EQ(rows[2].record.devicePath, "sim:1/0");
}

}  // namespace
}  // namespace bw::test
