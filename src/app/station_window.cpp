#include "app/station_window.h"

#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>
#include <sstream>

#include "app/station_observer.h"
#include "frontend/gang_station.h"
#include "frontend/hex_field_text.h"
#include "frontend/interrupt_flag.h"
#include "image/ic_types.h"
#include "production/result_text.h"
#include "ui/message_boxes.h"

namespace bw {
namespace {

// Four tiles to a row; a station of more slots than two such rows takes six to a row of
// smaller tiles, so sixteen fit a 1024 x 768 screen.
constexpr int kColumns = 4;
constexpr int kManyColumns = 6;
constexpr int kFewSlots = 8;
constexpr const char* kWho = "binwright-gui: ";

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

QString Hex4(std::int32_t value) {
    return QStringLiteral("%1").arg(value & 0xFFFF, 4, 16, QLatin1Char('0')).toUpper();
}

QString SerialText(std::optional<std::int32_t> number) {
    return number ? QStringLiteral("SN ") + Text(ProductNumberText(*number))
                  : QStringLiteral("SN -");
}

QColor Colour(const Rgb& rgb) {
    return {rgb.r, rgb.g, rgb.b};
}

QLabel* Value(QWidget* parent, const char* name) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

// A caption and its value side by side in a row of the header or the totals.
QLabel* AddPair(QHBoxLayout* row, QWidget* parent, const QString& caption, const char* name) {
    row->addWidget(new QLabel(caption, parent));
    QLabel* value = Value(parent, name);
    row->addWidget(value);
    row->addSpacing(18);
    return value;
}

}  // namespace

StationWindow::StationWindow(HidPlatform& platform, GangStation& station, OperationHost* waits,
                             QWidget* parent)
    : QWidget(parent),
      platform_(platform),
      station_(station),
      waits_(station.waits(waits)),
      stop_(waits_),
      observer_(std::make_unique<StationObserver>(*this, station)) {
    setObjectName(QStringLiteral("StationWindow"));
    setWindowTitle(QString::fromUtf8(kStationWindowTitle));
    auto* layout = new QVBoxLayout(this);

    auto* header = new QGroupBox(QStringLiteral("Settings"), this);
    CreateHeader(header);
    layout->addWidget(header);

    auto* grid = new QWidget(this);
    tiles_ = new QGridLayout(grid);
    tiles_->setContentsMargins(0, 0, 0, 0);
    tiles_->setSpacing(8);
    layout->addWidget(grid, 1);
    // The slots known from the start: --slots N, or the ports named.
    const station::GangSettings& settings = station_.settings();
    const int known = std::max(static_cast<int>(settings.ports.size()), settings.maxSlots);
    compactTiles_ = known > kFewSlots;
    columns_ = compactTiles_ ? kManyColumns : kColumns;
    for (std::size_t i = 0; i < settings.ports.size(); ++i) {
        EnsureTile(static_cast<int>(i) + 1).setPort(Text(settings.ports[i]));
    }
    for (int slot = 1; slot <= settings.maxSlots; ++slot) EnsureTile(slot);

    auto* totals = new QGroupBox(QStringLiteral("Totals"), this);
    auto* row = new QHBoxLayout(totals);
    totalMice = AddPair(row, totals, QStringLiteral("Mice:"), "totalMice");
    totalPasses = AddPair(row, totals, QStringLiteral("Passes:"), "totalPasses");
    totalFails = AddPair(row, totals, QStringLiteral("Fails:"), "totalFails");
    yield = AddPair(row, totals, QStringLiteral("First-pass yield:"), "yield");
    row->addStretch(1);
    status = Value(totals, "status");
    row->addWidget(status);
    layout->addWidget(totals);

    messages = new QPlainTextEdit(this);
    messages->setObjectName(QStringLiteral("messages"));
    messages->setReadOnly(true);
    messages->setMaximumBlockCount(200);
    messages->setFixedHeight(QFontMetrics(messages->font()).lineSpacing() * 4 + 10);
    layout->addWidget(messages);

    ShowTotals();
    ShowNextSerial();
    status->setText(QStringLiteral("Not started"));
    // The running mice's time, a few times a second.
    elapsedTimer_.setInterval(200);
    connect(&elapsedTimer_, &QTimer::timeout, this, [this] { ShowElapsed(); });
}

StationWindow::~StationWindow() {
    if (thread_.joinable()) {
        stop_.request(StopRequest::Abort);
        thread_.join();
    }
}

void StationWindow::CreateHeader(QWidget* header) {
    auto* row = new QHBoxLayout(header);
    const station::GangSettings& settings = station_.settings();
    imageName = AddPair(row, header, QStringLiteral("Image:"), "imageName");
    imageName->setText(QFileInfo(Text(station_.imageFile())).fileName());
    imageName->setToolTip(Text(station_.imageFile()));
    imageSha = AddPair(row, header, QStringLiteral("SHA-256:"), "imageSha");
    if (settings.imageIdentity) {
        const QString hex = Text(settings.imageIdentity->sha256Hex());
        imageSha->setText(hex.left(12));
        imageSha->setToolTip(hex);
    }
    icType = AddPair(row, header, QStringLiteral("IC type:"), "icType");
    const IcType* type = IcTypeAt(settings.ic);
    icType->setText(type != nullptr ? Text(std::string(type->rowText)) : QString());
    vidPid = AddPair(row, header, QStringLiteral("VID:PID:"), "vidPid");
    vidPid->setText(Hex4(settings.vid) + QLatin1Char(':') + Hex4(settings.pid));
    nextSerial = AddPair(row, header, QStringLiteral("Next serial:"), "nextSerial");
    row->addStretch(1);
}

SlotTile* StationWindow::Tile(int slot) const {
    const auto it = tileOf_.find(slot);
    return it == tileOf_.end() ? nullptr : it->second;
}

SlotTile& StationWindow::EnsureTile(int slot) {
    if (SlotTile* known = Tile(slot)) return *known;
    auto* tile = new SlotTile(slot, this);
    tile->setCompact(compactTiles_);
    tiles_->addWidget(tile, (slot - 1) / columns_, (slot - 1) % columns_);
    tileOf_[slot] = tile;
    return *tile;
}

void StationWindow::Start() {
    if (thread_.joinable()) return;
    status->setText(QStringLiteral("Running"));
    elapsedTimer_.start();
    thread_ = std::thread([this] { Work(); });
}

// The runner's thread: the ledger's start, the run, the held rows; each step's words and
// the end are posted to the window.
void StationWindow::Work() {
    std::ostringstream said;
    std::optional<int> code = station_.startNumbering(platform_, stop_, said);
    QMetaObject::invokeMethod(
        this,
        [this, text = said.str()] {
            Say(text);
            NumberingStarted();
        },
        Qt::QueuedConnection);
    said.str({});
    if (!code) {
        station::GangRunner runner(platform_, station_.settings(), station_.serials(), *observer_,
                                   waits_);
        observer_->attach(&runner);
        const station::GangSummary summary = runner.run(stop_);
        observer_->attach(nullptr);
        code = station_.finish(summary, stop_, said);
    }
    QMetaObject::invokeMethod(
        this, [this, code = *code, text = said.str()] { RunEnded(code, text); },
        Qt::QueuedConnection);
}

void StationWindow::SlotAssigned(int slot, const QString& port) {
    EnsureTile(slot).setPort(port);
}

void StationWindow::MousePlugged(int slot, Clock::time_point at) {
    SlotTile& tile = EnsureTile(slot);
    busySince_[slot] = at;
    tile.showPhase(QStringLiteral("Settling"), 0);
    tile.showSerial(SerialText(std::nullopt));
    tile.showElapsed(0);
}

void StationWindow::MouseHeld(int slot, std::int32_t number, const std::string& said) {
    SlotTile& tile = EnsureTile(slot);
    // Not a result of this run: the totals leave it out, the tile says what to do.
    tile.showResult(QStringLiteral("Unplug"), QColor(0x60, 0x60, 0x60),
                    QStringLiteral("written before the restart"));
    tile.showSerial(SerialText(number));
    Say(said);
}

void StationWindow::MouseStarted(int slot, std::optional<std::int32_t> number) {
    EnsureTile(slot).showSerial(SerialText(number));
    // The number given is no longer the next one.
    ShowNextSerial();
}

void StationWindow::Phase(int slot, const QString& label, int bytes) {
    EnsureTile(slot).showPhase(label, bytes);
}

void StationWindow::Progress(int slot, int done, int total) {
    EnsureTile(slot).showProgress(done, total);
}

void StationWindow::MouseFinished(const station::GangResult& r, const std::string& said) {
    SlotTile& tile = EnsureTile(r.slot);
    busySince_.erase(r.slot);
    if (r.leftAlone) {
        // It holds a number written before: not written, not counted, to be unplugged.
        tile.showResult(QStringLiteral("Unplug"), QColor(0x60, 0x60, 0x60), Text(r.text));
        tile.showSerial(SerialText(r.heldNumber));
        tile.showProgress(0, tile.progress->maximum());  // only its record was read
        tile.showElapsed(std::chrono::duration<double>(r.sincePlug).count());
        Say(said);
        return;
    }
    const bool passed = r.outcome == Outcome::Pass;
    // The main window's colours for the outcome; one it would not show is a failure's red.
    const ResultView view = ViewOf(Operation::Write, r.outcome, station_.settings().ic);
    const QColor colour = view.place == ResultPlace::None ? Colour(kRed) : Colour(view.colour);
    // Why it failed, as the main window says it under its result.
    QString detail = passed ? QString() : Text(r.reason.empty() ? r.text : r.reason.text);
    if (!r.notRecorded.empty()) {
        if (!detail.isEmpty()) detail += QStringLiteral("; ");
        detail += QStringLiteral("not recorded");
    }
    tile.showResult(passed ? QStringLiteral("Pass") : QStringLiteral("Fail"), colour, detail);
    if (closeAsked_) {
        ++miceAfterClose_;
        if (passed) ++passesAfterClose_;
    }
    // A mouse that passed in spite of the abort is not one it cut.
    if (passed) std::erase(abortedSlots_, r.slot);
    tile.showSerial(SerialText(r.writtenNumber));
    tile.showElapsed(std::chrono::duration<double>(r.sincePlug).count());
    if (passed) tile.showProgress(tile.progress->maximum(), tile.progress->maximum());
    ++mice_;
    if (passed) ++passes_;
    ShowTotals();
    ShowNextSerial();
    Say(said);
}

void StationWindow::Say(const std::string& lines) {
    std::istringstream in(lines);
    for (std::string line; std::getline(in, line);) {
        if (line.empty()) continue;
        // What the station's shared code says carries the program's name already.
        const bool named = line.rfind(kWho, 0) == 0;
        std::fprintf(stderr, "%s%s\n", named ? "" : kWho, line.c_str());
        messages->appendPlainText(Text(named ? line.substr(std::string(kWho).size()) : line));
    }
}

void StationWindow::NumberingStarted() {
    numberingDone_ = true;
    ShowNextSerial();
}

void StationWindow::RunEnded(int exitCode, const std::string& said) {
    if (thread_.joinable()) thread_.join();
    exitCode_ = signals_ != nullptr ? signals_->exitCode(exitCode) : exitCode;
    elapsedTimer_.stop();
    busySince_.clear();
    Say(said);
    if (closeAsked_) {
        ShowStopped();
    } else {
        status->setText(QStringLiteral("Finished"));
    }
    emit finished();
    // After an operator's close the window stays with the results; a signal closes it.
    if (closeWhenEnded_) close();
}

QString StationWindow::BusySlots() const {
    QStringList numbers;
    for (const auto& [slot, since] : busySince_) numbers << QString::number(slot);
    return numbers.join(QStringLiteral(", "));
}

void StationWindow::Finish(bool bySignal) {
    closeAsked_ = true;
    closeWhenEnded_ = closeWhenEnded_ || bySignal;
    stop_.request(StopRequest::Finish);
    if (!aborting_) status->setText(QStringLiteral("Stopping: the mice in progress end"));
}

void StationWindow::ShowStopped() {
    const int aborted = static_cast<int>(abortedSlots_.size());
    QString text =
        QStringLiteral("Stopped: %1 mice in progress at the close ended: %2 passed, %3 failed")
            .arg(miceAfterClose_)
            .arg(passesAfterClose_)
            .arg(miceAfterClose_ - passesAfterClose_ - aborted);
    if (aborted > 0) text += QStringLiteral(", %1 aborted").arg(aborted);
    status->setText(text);
    if (aborted == 0) return;
    QStringList numbers;
    for (const int slot : abortedSlots_) numbers << QString::number(slot);
    Say(QStringLiteral("aborted: %1 %2: those mice may be half written; write them again")
            .arg(aborted == 1 ? QStringLiteral("slot") : QStringLiteral("slots"),
                 numbers.join(QStringLiteral(", ")))
            .toStdString());
}

void StationWindow::WatchSignals(InterruptFlag& flag) {
    signals_ = &flag;
    signalTimer_.setInterval(100);
    connect(&signalTimer_, &QTimer::timeout, this, [this] {
        const StopRequest asked = signals_->request();
        if (asked == StopRequest::None) return;
        if (!thread_.joinable()) {
            // Nothing runs (any more): the signal closes the window at once.
            signalTimer_.stop();
            closeWhenEnded_ = true;
            if (signals_->firstSignal() != 0) exitCode_ = signals_->exitCode(exitCode_);
            close();
            return;
        }
        if (asked == StopRequest::Abort && !aborting_) {
            // A second Ctrl-C, as on the command line: no question.
            aborting_ = true;
            for (const auto& [slot, since] : busySince_) abortedSlots_.push_back(slot);
            stop_.request(StopRequest::Abort);
            status->setText(QStringLiteral("Aborting"));
        }
        if (!closeWhenEnded_) Finish(true);
    });
    signalTimer_.start();
}

void StationWindow::ShowTotals() {
    totalMice->setText(QString::number(mice_));
    totalPasses->setText(QString::number(passes_));
    totalFails->setText(QString::number(mice_ - passes_));
    yield->setText(mice_ == 0 ? QStringLiteral("-")
                              : QStringLiteral("%1 %").arg(100.0 * passes_ / mice_, 0, 'f', 1));
}

void StationWindow::ShowNextSerial() {
    const station::GangSettings& settings = station_.settings();
    if (!(settings.ic == 0 && settings.params.writeId)) {
        nextSerial->setText(QStringLiteral("- (no factory record)"));
        return;
    }
    // The ledger's own connection is the runner thread's until its start is done.
    if (station_.fromLedger() && !numberingDone_) {
        nextSerial->setText(QStringLiteral("..."));
        return;
    }
    if (const std::optional<std::int32_t> next = station_.nextNumber()) {
        nextSerial->setText(Text(ProductNumberText(*next)));
        nextSerial->setToolTip(station_.fromLedger() ? QStringLiteral("From the ledger")
                                                     : QStringLiteral("Counting on from --sn"));
    }
}

void StationWindow::ShowElapsed() {
    const Clock::time_point now = Clock::now();
    for (const auto& [slot, since] : busySince_) {
        if (SlotTile* tile = Tile(slot))
            tile->showElapsed(std::chrono::duration<double>(now - since).count());
    }
}

void StationWindow::closeEvent(QCloseEvent* event) {
    if (!thread_.joinable()) {
        event->accept();
        emit closed();
        return;
    }
    event->ignore();
    // The first close lets the writes in progress end.
    if (!closeAsked_) {
        Finish(false);
        return;
    }
    // Another one would cut them: asked first, naming the mice it would leave half written.
    const QString busy = BusySlots();
    if (aborting_ || busy.isEmpty()) return;
    const bool one = busySince_.size() == 1;
    const QString which = (one ? QStringLiteral("slot ") : QStringLiteral("slots ")) + busy;
    if (!AskQuestion(this, QStringLiteral("Abort the writes in progress now? The mice in %1 "
                                          "would be left half written in their sockets and "
                                          "must be written again.")
                               .arg(which))) {
        return;
    }
    aborting_ = true;
    for (const auto& [slot, since] : busySince_) abortedSlots_.push_back(slot);
    stop_.request(StopRequest::Abort);
    status->setText(QStringLiteral("Aborting: ") + which);
}

}  // namespace bw
