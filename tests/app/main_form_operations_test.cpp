// The window's load, write, verify, save and factory read-back on the simulated
// line: captions, colours, pass count and the controls left enabled.

#include <QDir>
#include <QFileInfo>
#include <QFontInfo>
#include <QFontMetrics>
#include <algorithm>
#include <optional>

#include "app/sim_form_fixture.h"
#include "image/image_identity.h"
#include "sim/scenario.h"

namespace bw::test {
namespace {

class OperationsTest : public SimFormTest {
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
    EXPECT_TRUE(form->station.ImageLoaded);
    EXPECT_EQ(form->station.LoadedImageType, "KVDE31X");
    EXPECT_TRUE(form->DevTimer->isActive());
    EXPECT_EQ(form->state.ImageBuffer, image);

    Image other{};
    const QString shortFile = WriteFile(QStringLiteral("short.bin"), other, 2047);
    form->chooseOpenFile = [shortFile] { return shortFile; };
    ASSERT_TRUE(Run(&TForm1::btn_LoadClick));
    EXPECT_FALSE(form->lbl_BINICTypeError->isHidden());
    EXPECT_FALSE(form->station.ImageLoaded);
    EXPECT_TRUE(form->station.LoadedImageType.empty());
    EXPECT_FALSE(form->DevTimer->isActive());
    EXPECT_EQ(form->state.ImageBuffer, image);
    EXPECT_EQ(form->edt_BinFile->text(), shortFile);

    // Cancelled: unloaded, the old path stays.
    form->chooseOpenFile = [] { return QString(); };
    ASSERT_TRUE(Run(&TForm1::btn_LoadClick));
    EXPECT_TRUE(form->lbl_BINICTypeError->isHidden());
    EXPECT_EQ(form->edt_BinFile->text(), shortFile);

    // A file that cannot be opened goes to the error box; polling stays off.
    const QString missing = dir.filePath(QStringLiteral("missing.bin"));
    form->chooseOpenFile = [missing] { return missing; };
    EXPECT_FALSE(Run(&TForm1::btn_LoadClick));
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0].contains(QStringLiteral("missing.bin")));
    EXPECT_FALSE(form->DevTimer->isActive());
    EXPECT_FALSE(form->station.ImageLoaded);
}

TEST_F(OperationsTest, LoadShowsTheImageIdentityAndRefusesAnImageNotApproved) {
    Start();
    const ImageIdentity identity = IdentifyImage(image);
    const QString sha = QString::fromStdString(identity.sha256Hex());
    struct Case {
        std::optional<Sha256> approved;
        bool loaded;
    };
    const Case cases[] = {
        {std::nullopt, true}, {IdentifyImage(Image{}).sha256, false}, {identity.sha256, true}};
    for (const auto& c : cases) {
        boxes.clear();
        form->approvedSha256 = c.approved;
        Load();
        EXPECT_EQ(form->station.ImageLoaded, c.loaded);
        EXPECT_EQ(form->DevTimer->isActive(), c.loaded);
        EXPECT_EQ(form->lbl_BinIdentity->isHidden(), !c.loaded);
        EXPECT_EQ(form->edt_BinFile->toolTip().contains(sha), c.loaded);
        if (c.loaded) {
            EXPECT_EQ(form->lbl_BinIdentity->text().toStdString(), identity.shortText());
            EXPECT_EQ(form->station.LoadedImageIdentity, identity);
            EXPECT_TRUE(boxes.isEmpty());
        } else {
            ASSERT_EQ(boxes.size(), 1);
            EXPECT_EQ(boxes[0], "image.bin is not the approved image (sha256 " + sha + ")");
            EXPECT_TRUE(form->edt_BinFile->text().isEmpty());
            EXPECT_FALSE(form->station.LoadedImageIdentity);
        }
    }
    // A new IC type forgets the image and its identity.
    form->cb_ICType->setCurrentIndex(1);
    ASSERT_TRUE(Run(&TForm1::cb_ICTypeChange));
    EXPECT_TRUE(form->lbl_BinIdentity->isHidden());
    EXPECT_TRUE(form->edt_BinFile->toolTip().isEmpty());
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
        form.reset();  // the window goes before the line it holds
        Ready(ParseScenario(row.keys));
        ASSERT_NE(image[0x300], 0xFF);
        ASSERT_NE(image[0x500], 0xFF);
        form->edt_Write256Count->SetValue(row.blocks);
        ASSERT_TRUE(Run(&TForm1::btn_WriteClick));
        EXPECT_EQ(form->lbl_CtrlResult->text(), "Write Fail");
        EXPECT_EQ(form->state.LastReason.codeName(), "mismatch");
        EXPECT_EQ(form->lbl_PassCnt->text(), "0");
    }
}

// A write, verify or save that ends without its pass shows its failure in red with the reason
// under it, also when the mouse never answered; the result never keeps the text it had for
// the mouse before (a "Write Pass" kept would advance the next mouse's number).
TEST_F(OperationsTest, EveryEndWithoutAPassShowsItsFailureAndWhy) {
    struct Row {
        const char* keys;  // what the second mouse does
        void (TForm1::*handler)();
        const char* shown;
        const char* code;
        bool devError = false;  // "BIN file not match Mouse" shows instead
    };
    const std::vector<Row> rows = {
        {"nack=1", &TForm1::btn_WriteClick, "Write Fail", "no-answer"},
        {"status1=55", &TForm1::btn_WriteClick, "Write Fail", "bad-status"},
        {"nack=3", &TForm1::btn_VerifyClick, "Verify Fail", "no-answer"},
        {"status1=55", &TForm1::btn_VerifyClick, "Verify Fail", "bad-status"},
        {"nack=1", &TForm1::btn_SaveClick, "Save Fail", "no-answer"},
        {"status1=55", &TForm1::btn_SaveClick, "Save Fail", "bad-status"},
        {"chip=36", &TForm1::btn_WriteClick, "Write Fail", "wrong-chip", true},
    };
    const QString saved = dir.filePath(QStringLiteral("saved"));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.keys);
        form.reset();
        Ready();
        form->chooseSaveFile = [saved] { return saved; };
        ASSERT_TRUE(Run(&TForm1::btn_WriteClick));
        ASSERT_EQ(form->lbl_CtrlResult->text(), "Write Pass");
        const Scenario fault = ParseScenario(row.keys);
        line->faults() = fault.faults;
        Mouse().status() = {fault.status1, fault.status2, fault.chip};

        ASSERT_TRUE(Run(row.handler));
        EXPECT_EQ(form->lbl_CtrlResult->text(), row.shown);
        EXPECT_EQ(ResultColour(), QColor(255, 0, 0));
        EXPECT_EQ(ResultShown(), !row.devError);
        EXPECT_EQ(form->lbl_BINDevError->isHidden(), !row.devError);
        if (row.handler == &TForm1::btn_WriteClick) {
            EXPECT_EQ(form->lbl_CtrlResult->font().pointSize(), 36);
        }
        const Reason& reason = form->state.LastReason;
        EXPECT_EQ(reason.codeName(), row.code);
        EXPECT_FALSE(form->lbl_ResultReason->isHidden());
        EXPECT_EQ(form->lbl_ResultReason->toolTip().toStdString(), reason.text);
        EXPECT_EQ(form->lbl_PassCnt->text(), "1");
    }
}

// No retry means no attempt: refused with an error box before the mouse is touched. The
// result says "Write Fail" and why: the "Write Pass" of the mouse before would advance the
// next mouse's number for a mouse that never got this one.
TEST_F(OperationsTest, NoRetryIsRefusedBeforeTheMouseIsTouched) {
    Ready();
    ASSERT_TRUE(Run(&TForm1::btn_WriteClick));
    ASSERT_EQ(form->lbl_CtrlResult->text(), "Write Pass");
    form->edt_RetryCnt->SetValue(0);
    const long transfers = line->transferCount();
    EXPECT_FALSE(Run(&TForm1::btn_WriteClick));
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes.front().contains(QStringLiteral("Retry Times")))
        << boxes.front().toStdString();
    EXPECT_EQ(line->transferCount(), transfers);
    EXPECT_EQ(form->lbl_PassCnt->text(), "1");
    EXPECT_EQ(form->lbl_CtrlResult->text(), "Write Fail");
    EXPECT_TRUE(ResultShown());
    EXPECT_EQ(form->state.LastReason.codeName(), "bad-parameters");
    EXPECT_FALSE(form->lbl_ResultReason->isHidden());
    EXPECT_TRUE(ButtonsEnabled());
}

// A path longer than the field is shortened in the middle, never cut inside a letter, and
// stands whole in the tooltip beside the image's identity.
TEST_F(OperationsTest, ALongBinPathIsShortenedInTheMiddleAndWholeInTheTooltip) {
    Start();
    const QString folder = dir.filePath(QString(70, QLatin1Char('a')) + QLatin1Char('/') +
                                        QString(70, QLatin1Char('b')));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString path = folder + QStringLiteral("/line-image.bin");
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(reinterpret_cast<const char*>(image.data()), 2048);
    }
    form->chooseOpenFile = [path] { return path; };
    ASSERT_TRUE(Run(&TForm1::btn_LoadClick));
    QLineEdit* field = form->edt_BinFile;
    const QString shown = field->text();
    EXPECT_TRUE(shown.endsWith(QStringLiteral("line-image.bin"))) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QChar(0x2026)));
    const int room = field->width() - field->textMargins().right() - 8;
    EXPECT_LE(QFontMetrics(field->font()).horizontalAdvance(shown), room);
    EXPECT_TRUE(field->toolTip().contains(path));
    EXPECT_TRUE(field->toolTip().contains(QStringLiteral("SHA-256")));
}

// Why an operation did not pass: in small type under the result, left of the pass counter,
// the whole text in the result's tooltip; a pass clears it.
TEST_F(OperationsTest, TheReasonStandsUnderTheResultAndInItsTooltip) {
    struct Row {
        const char* keys;
        void (TForm1::*handler)();
        const char* code;  // "" for a pass
    };
    const std::vector<Row> rows = {
        {"stuck-byte=2A7", &TForm1::btn_WriteClick, "mismatch"},
        {"nack=1", &TForm1::btn_VerifyClick, "no-answer"},
        {"chip=36", &TForm1::btn_WriteClick, "wrong-chip"},
        {"fail-after=300", &TForm1::btn_WriteClick, "removed"},
        {"ic=1,lose-piece=4", &TForm1::btn_VerifyClick, "piece-lost"},
        {"", &TForm1::btn_WriteClick, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.keys);
        form.reset();  // the window goes before the line it holds
        Ready(ParseScenario(row.keys));
        ASSERT_TRUE(Run(row.handler));
        const Reason& reason = form->state.LastReason;
        EXPECT_EQ(reason.codeName(), row.code);
        QLabel* small = form->lbl_ResultReason;
        EXPECT_EQ(small->isHidden(), reason.empty());
        EXPECT_EQ(form->lbl_CtrlResult->toolTip().toStdString(), reason.text);
        if (reason.empty()) continue;
        EXPECT_LT(QFontInfo(small->font()).pixelSize(),
                  QFontInfo(form->lbl_CtrlResult->font()).pixelSize());
        EXPECT_TRUE(form->gbResult->rect().contains(small->geometry()));
        EXPECT_FALSE(small->geometry().intersects(form->lbl_PassNum->geometry()));
        // Whole, wrapped within its place.
        EXPECT_EQ(small->text().toStdString(), reason.text);
        EXPECT_TRUE(small->wordWrap());
        EXPECT_LE(small->heightForWidth(small->width()), small->height());
    }
}

TEST_F(OperationsTest, FirstIcTypeWritePassesInLimeAt36PointAndCounts) {
    Ready();
    ASSERT_TRUE(Run(&TForm1::btn_WriteClick));
    EXPECT_EQ(form->lbl_CtrlResult->text(), "Write Pass");
    EXPECT_EQ(ResultColour(), QColor(0, 255, 0));
    EXPECT_EQ(form->lbl_CtrlResult->font().pointSize(), 36);
    EXPECT_TRUE(ResultShown());
    EXPECT_EQ(form->lbl_PassCnt->text(), "1");
    EXPECT_TRUE(ButtonsEnabled());
    EXPECT_TRUE(form->DevTimer->isActive());
    EXPECT_EQ(Mouse().memory(), image);
    EXPECT_FALSE(form->OperationRunning());
}

TEST_F(OperationsTest, FirstIcTypeWriteFailsInRedAndDoesNotCount) {
    Ready();
    line->faults().failAfter = static_cast<int>(line->transferCount()) + 20;
    ASSERT_TRUE(Run(&TForm1::btn_WriteClick));
    EXPECT_EQ(form->lbl_CtrlResult->text(), "Write Fail");
    EXPECT_EQ(ResultColour(), QColor(255, 0, 0));
    EXPECT_EQ(form->lbl_PassCnt->text(), "0");
    EXPECT_TRUE(ButtonsEnabled());
}

TEST_F(OperationsTest, SecondIcTypeWritePassesInGreenAndKeepsTheFontSize) {
    Scenario scenario;
    scenario.ic = 1;
    Ready(scenario);
    const int size = form->lbl_CtrlResult->font().pointSize();
    ASSERT_TRUE(Run(&TForm1::btn_WriteClick));
    EXPECT_EQ(form->lbl_CtrlResult->text(), "Write Pass");
    EXPECT_EQ(ResultColour(), QColor(0, 128, 0));
    EXPECT_EQ(form->lbl_CtrlResult->font().pointSize(), size);
    EXPECT_EQ(form->lbl_PassCnt->text(), "1");
    EXPECT_EQ(Mouse().memory(), image);
}

TEST_F(OperationsTest, WrongChipShowsMismatchAndAQuietMouseShowsWriteFail) {
    Ready();
    Mouse().status().chip = 0x36;
    ASSERT_TRUE(Run(&TForm1::btn_WriteClick));
    EXPECT_FALSE(form->lbl_BINDevError->isHidden());
    EXPECT_FALSE(ResultShown());
    EXPECT_EQ(form->lbl_PassCnt->text(), "0");
    EXPECT_TRUE(ButtonsEnabled());

    Mouse().status().chip = 0x35;
    Mouse().status().status1 = 0xAB;
    form->lbl_BINDevError->hide();
    ASSERT_TRUE(Run(&TForm1::btn_WriteClick));
    EXPECT_TRUE(form->lbl_BINDevError->isHidden());
    EXPECT_TRUE(ResultShown());
    EXPECT_EQ(form->lbl_CtrlResult->text(), "Write Fail");
    EXPECT_TRUE(ButtonsEnabled());
    EXPECT_TRUE(form->DevTimer->isActive());
}

TEST_F(OperationsTest, FieldThatDoesNotConvertStopsTheWriteBeforeAnyTransfer) {
    Ready();
    form->edt_sleepTime->setText(QStringLiteral("1x"));
    line->clearTransfers();
    EXPECT_FALSE(Run(&TForm1::btn_WriteClick));
    EXPECT_TRUE(line->transfers().empty());
    ASSERT_EQ(boxes.size(), 1);
    // The window stays usable.
    EXPECT_TRUE(ButtonsEnabled());
    EXPECT_TRUE(form->DevTimer->isActive());
    EXPECT_FALSE(form->OperationRunning());

    // A factory field counts too when the record is to be written.
    form->edt_sleepTime->setText(QStringLiteral("100"));
    form->cb_WriteID->setChecked(true);
    form->edt_FactoryDate->setText(QStringLiteral("zz"));
    EXPECT_FALSE(Run(&TForm1::btn_WriteClick));
    EXPECT_TRUE(line->transfers().empty());
}

TEST_F(OperationsTest, VerifyPassesInGreenAndFailsInRed) {
    Ready();
    ASSERT_TRUE(Run(&TForm1::btn_WriteClick));
    ASSERT_TRUE(Run(&TForm1::btn_VerifyClick));
    EXPECT_EQ(form->lbl_CtrlResult->text(), "Verify Pass");
    EXPECT_EQ(ResultColour(), QColor(0, 128, 0));
    EXPECT_EQ(form->lbl_CtrlResult->font().pointSize(), 36);  // kept from the write
    EXPECT_TRUE(ButtonsEnabled());
    EXPECT_TRUE(form->DevTimer->isActive());

    Mouse().memory()[200] ^= 0xFF;
    ASSERT_TRUE(Run(&TForm1::btn_VerifyClick));
    EXPECT_EQ(form->lbl_CtrlResult->text(), "Verify Fail");
    EXPECT_EQ(ResultColour(), QColor(255, 0, 0));
    EXPECT_EQ(form->lbl_PassCnt->text(), "1");
}

TEST_F(OperationsTest, SaveWritesTheDeviceMemoryOnlyWhenTheReadPassed) {
    Ready();
    Mouse().memory() = image;
    form->cb_AutoRun->setEnabled(false);
    const QString chosen = dir.filePath(QStringLiteral("dump"));
    form->chooseSaveFile = [chosen] { return chosen; };
    ASSERT_TRUE(Run(&TForm1::btn_SaveClick));
    EXPECT_EQ(form->lbl_CtrlResult->text(), "Save Pass");
    EXPECT_EQ(ResultColour(), QColor(0, 128, 0));
    QFile saved(chosen + QStringLiteral(".bin"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QByteArray bytes = saved.readAll();
    ASSERT_EQ(bytes.size(), 2048);
    EXPECT_TRUE(std::equal(image.begin(), image.end(),
                           reinterpret_cast<const std::uint8_t*>(bytes.constData())));
    EXPECT_TRUE(ButtonsEnabled());
    EXPECT_TRUE(form->cb_AutoRun->isEnabled());

    // A silent mouse: "Save Fail" and no file.
    line->faults().nack = 1;
    const QString second = dir.filePath(QStringLiteral("second"));
    form->chooseSaveFile = [second] { return second; };
    ASSERT_TRUE(Run(&TForm1::btn_SaveClick));
    EXPECT_EQ(form->lbl_CtrlResult->text(), "Save Fail");
    EXPECT_EQ(ResultColour(), QColor(255, 0, 0));
    EXPECT_FALSE(QFileInfo::exists(second + QStringLiteral(".bin")));
    EXPECT_TRUE(ButtonsEnabled());

    // A lost piece is a failure too, never a file of fill bytes.
    line->faults().nack = -1;
    line->faults().losePiece = 3;
    ASSERT_TRUE(Run(&TForm1::btn_SaveClick));
    EXPECT_EQ(form->lbl_CtrlResult->text(), "Save Fail");
    EXPECT_FALSE(QFileInfo::exists(second + QStringLiteral(".bin")));
}

TEST_F(OperationsTest, SaveIntoAFolderThatDoesNotExistShowsTheReasonAndUnlocks) {
    Ready();
    ASSERT_TRUE(Run(&TForm1::btn_WriteClick));
    const QString chosen = dir.filePath(QStringLiteral("no/such/folder/dump"));
    form->chooseSaveFile = [chosen] { return chosen; };
    const long transfers = line->transferCount();
    EXPECT_FALSE(Run(&TForm1::btn_SaveClick));
    ASSERT_EQ(boxes.size(), 1);
    // Said before the mouse is read.
    EXPECT_TRUE(boxes.front().contains(QStringLiteral("does not exist")))
        << boxes.front().toStdString();
    EXPECT_EQ(line->transferCount(), transfers);
    EXPECT_TRUE(ButtonsEnabled());
    // The result no longer says the "Write Pass" before it.
    EXPECT_EQ(form->lbl_CtrlResult->text(), "Save Fail");
    EXPECT_EQ(form->state.LastReason.codeName(), "bad-parameters");
}

TEST_F(OperationsTest, FactoryReadBackFillsTheFieldsOrFailsWithThemUnchanged) {
    Ready();
    form->cb_WriteID->setChecked(true);
    form->edt_FactoryNum->setText(QStringLiteral("00ABCD"));
    form->cb_FactoryLine->setCurrentIndex(3);
    ASSERT_TRUE(Run(&TForm1::btn_WriteClick));
    ASSERT_EQ(form->lbl_CtrlResult->text(), "Write Pass");

    form->edt_FactoryNum->setText(QStringLiteral("1"));
    form->cb_FactoryLine->setCurrentIndex(0);
    form->edt_FactoryType->clear();
    ASSERT_TRUE(Run(&TForm1::btnReadFactoryClick));
    EXPECT_EQ(form->lbl_CtrlResult->text(), "Read Ok");
    EXPECT_EQ(ResultColour(), QColor(0, 128, 0));
    EXPECT_EQ(form->edt_FactoryNum->text(), "ABCD");
    EXPECT_EQ(form->edt_FactoryType->text(), "5");
    EXPECT_EQ(form->edt_FactoryDate->text(), "20200527");
    EXPECT_EQ(form->cb_FactoryLine->currentText(), "D");
    EXPECT_TRUE(ButtonsEnabled());
    EXPECT_TRUE(form->DevTimer->isActive());

    // All 0xFF: out-of-range list bytes select no row.
    std::fill_n(Mouse().memory().begin() + 160, 12, 0xFF);
    ASSERT_TRUE(Run(&TForm1::btnReadFactoryClick));
    EXPECT_EQ(form->edt_FactoryType->text(), "FFFF");
    EXPECT_EQ(form->edt_FactoryDate->text(), "");
    EXPECT_EQ(form->cb_Factory->currentIndex(), -1);

    form->edt_FactoryNum->setText(QStringLiteral("77"));
    line->faults().nack = 3;
    ASSERT_TRUE(Run(&TForm1::btnReadFactoryClick));
    EXPECT_EQ(form->lbl_CtrlResult->text(), "Read Fail");
    EXPECT_EQ(ResultColour(), QColor(255, 0, 0));
    EXPECT_EQ(form->edt_FactoryNum->text(), "77");
    EXPECT_TRUE(ButtonsEnabled());
}

TEST_F(OperationsTest, IcTypeChangeForgetsImageAndCountAndSetsTheIdentity) {
    Ready();
    ASSERT_TRUE(Run(&TForm1::btn_WriteClick));
    form->edt_VID->setText(QStringLiteral("1234"));
    form->lbl_BINICTypeError->show();
    form->cb_ICType->setCurrentIndex(2);
    ASSERT_TRUE(Run(&TForm1::cb_ICTypeChange));
    EXPECT_EQ(form->edt_BinFile->text(), "");
    EXPECT_FALSE(form->station.ImageLoaded);
    EXPECT_EQ(form->station.PassCount, 0);
    EXPECT_EQ(form->lbl_PassCnt->text(), "0");
    EXPECT_TRUE(form->lbl_BINICTypeError->isHidden());
    EXPECT_FALSE(form->DevTimer->isActive());
    EXPECT_EQ(form->edt_VID->text(), "3A5C");
    EXPECT_EQ(form->edt_PID->text(), "0C37");
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
    const std::string url = dir.filePath(QStringLiteral("ledger.db")).toStdString();
    ledger::StationLedger station(ledger::OpenLedger(url), "st-1");
    station.ledger().reserve(5, "st-1");  // left by a crash: released at the first write
    Ready();
    form->UseLedger(&station);
    EXPECT_TRUE(form->edt_FactoryNum->isReadOnly());
    EXPECT_EQ(form->edt_FactoryNum->text(), "2");  // the dangling 1 is not ended yet
    form->cb_WriteID->setChecked(true);

    struct Step {
        void (TForm1::*handler)();
        const char* result;
        const char* field;  // the number field afterwards
    };
    const std::vector<Step> steps = {{&TForm1::btn_WriteClick, "Write Pass", "2"},
                                     {&TForm1::btn_WriteClick, "Write Pass", "3"},
                                     {&TForm1::btn_VerifyClick, "Verify Pass", "3"}};
    for (const Step& step : steps) {
        ASSERT_TRUE(Run(step.handler));
        EXPECT_EQ(form->lbl_CtrlResult->text(), step.result);
        EXPECT_EQ(form->edt_FactoryNum->text(), step.field);
    }
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0].contains("released product number 000001 of type 0005"));
    EXPECT_EQ(Mouse().memory()[168], 2);  // rewritten: the last number it got
    // Another type has no numbers: 1; past FFFFFF nothing is left and nothing is written.
    form->edt_FactoryType->setText(QStringLiteral("6"));
    EXPECT_EQ(form->edt_FactoryNum->text(), "1");
    station.ledger().setFirstNumber(6, 0xFFFFFF);
    station.ledger().markSending(station.ledger().reserve(6, "st-2"));
    form->ShowNextNumber();
    EXPECT_EQ(form->edt_FactoryNum->text(), "");
    const long transfers = line->transferCount();
    EXPECT_FALSE(Run(&TForm1::btn_WriteClick));
    EXPECT_EQ(line->transferCount(), transfers);
    EXPECT_TRUE(boxes.back().contains("has no number left"));
    // A failed verify: its row names the reason's code.
    form->state.ImageBuffer[0x10] ^= 0xFF;
    ASSERT_TRUE(Run(&TForm1::btn_VerifyClick));

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
