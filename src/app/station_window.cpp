#include "app/station_window.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QMetaObject>
#include <QVBoxLayout>
#include <utility>

#include "ui/message_boxes.h"

namespace bw {
namespace {

QString Text(const std::string& text) {
    return QString::fromStdString(text);
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

void SetValue(QLabel* label, const window::ValueWithTip& value) {
    label->setText(Text(value.value));
    label->setToolTip(Text(value.tip));
}

}  // namespace

StationWindow::StationWindow(int slotCount, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("StationWindow"));
    setWindowTitle(QString::fromUtf8(kStationWindowTitle));
    auto* layout = new QVBoxLayout(this);

    auto* header = new QGroupBox(QStringLiteral("Settings"), this);
    auto* top = new QHBoxLayout(header);
    imageName = AddPair(top, header, QStringLiteral("Image:"), "imageName");
    imageSha = AddPair(top, header, QStringLiteral("SHA-256:"), "imageSha");
    icType = AddPair(top, header, QStringLiteral("IC type:"), "icType");
    vidPid = AddPair(top, header, QStringLiteral("VID:PID:"), "vidPid");
    nextSerial = AddPair(top, header, QStringLiteral("Next serial:"), "nextSerial");
    top->addStretch(1);
    layout->addWidget(header);

    auto* grid = new QWidget(this);
    tiles_ = new QGridLayout(grid);
    tiles_->setContentsMargins(0, 0, 0, 0);
    tiles_->setSpacing(8);
    layout->addWidget(grid, 1);
    grid_ = window::TileGridFor(slotCount);

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

    connect(&ticks_, &QTimer::timeout, this, [this] {
        if (events_ != nullptr) events_->OnTick();
    });
}

SlotTile* StationWindow::Tile(int slot) const {
    const auto it = tileOf_.find(slot);
    return it == tileOf_.end() ? nullptr : it->second;
}

SlotTile& StationWindow::EnsureTile(int slot) {
    if (SlotTile* known = Tile(slot)) return *known;
    auto* tile = new SlotTile(slot, this);
    tile->setGrid(grid_);
    tiles_->addWidget(tile, (slot - 1) / grid_.columns, (slot - 1) % grid_.columns);
    tileOf_[slot] = tile;
    return *tile;
}

void StationWindow::SetHeader(const window::StationHeader& header) {
    SetValue(imageName, header.image);
    SetValue(imageSha, header.sha256);
    icType->setText(Text(header.icType));
    vidPid->setText(Text(header.vidPid));
    SetValue(nextSerial, header.nextSerial);
}

void StationWindow::SetTile(const window::SlotTileState& tile) {
    EnsureTile(tile.slot).show(tile);
}

void StationWindow::SetTotals(const window::StationTotals& totals) {
    totalMice->setText(QString::number(totals.mice));
    totalPasses->setText(QString::number(totals.passes));
    totalFails->setText(QString::number(totals.fails));
    yield->setText(Text(totals.yield));
    status->setText(Text(totals.status));
}

void StationWindow::AppendMessage(std::string_view lines) {
    messages->appendPlainText(
        QString::fromUtf8(lines.data(), static_cast<qsizetype>(lines.size())));
}

bool StationWindow::AskQuestion(const std::string& question) {
    return bw::AskQuestion(this, Text(question));
}

void StationWindow::StartTicks(int periodMs) {
    ticks_.start(periodMs);
}

void StationWindow::StopTicks() {
    ticks_.stop();
}

void StationWindow::Post(std::function<void()> work) {
    QMetaObject::invokeMethod(this, std::move(work), Qt::QueuedConnection);
}

void StationWindow::Close() {
    closing_ = true;
    close();
}

void StationWindow::closeEvent(QCloseEvent* event) {
    if (!closing_ && events_ != nullptr && !events_->OnCloseQuery()) {
        event->ignore();
        return;
    }
    closing_ = true;
    ticks_.stop();
    event->accept();
    emit closed();
}

}  // namespace bw
