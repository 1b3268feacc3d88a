#include "app/line_simulator.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include "image/ic_types.h"
#include "sim/sim_platform.h"
#include "ui/frame_placement.h"
#include "window/window_placement.h"

namespace bw {

namespace {

QSpinBox* MakeSpin(QWidget* parent, int low, int high, int value, int base = 10) {
    auto* spin = new QSpinBox(parent);
    spin->setRange(low, high);
    spin->setDisplayIntegerBase(base);
    if (base == 16) spin->setPrefix(QStringLiteral("0x"));
    spin->setValue(value);
    return spin;
}

}  // namespace

QPoint SimulatorOrigin(const QRect& main, const QSize& own, const QRect& available, int keep) {
    const window::Point origin = window::SimulatorOrigin(
        {main.x(), main.y(), main.width(), main.height()}, own.width(), own.height(),
        {available.x(), available.y(), available.width(), available.height()}, keep);
    return {origin.x, origin.y};
}

bool SimulatorFits(const QRect& main, const QSize& own, const QRect& available, int keep) {
    return window::SimulatorFits({main.x(), main.y(), main.width(), main.height()}, own.width(),
                                 own.height(),
                                 {available.x(), available.y(), available.width(),
                                  available.height()},
                                 keep);
}

LineSimulator::LineSimulator(SimulatedPlatform& line, QWidget* parent)
    : QWidget(parent), line_(line) {
    setObjectName(QStringLiteral("LineSimulator"));
    setWindowTitle(QStringLiteral("Line simulator"));
    auto* layout = new QVBoxLayout(this);

    auto* devices = new QGroupBox(QStringLiteral("Devices"), this);
    auto* grid = new QGridLayout(devices);
    for (int ic = 0; ic < static_cast<int>(kIcTypes.size()); ++ic) {
        const std::string_view row = kIcTypes[static_cast<std::size_t>(ic)].rowText;
        auto* plug = new QPushButton(
            QStringLiteral("Plug %1 mouse")
                .arg(QString::fromLatin1(row.data(), static_cast<qsizetype>(row.size()))),
            devices);
        connect(plug, &QPushButton::clicked, this, [this, ic] { PlugMouse(ic); });
        grid->addWidget(plug, 0, ic);
        plugMouseButtons << plug;
    }
    pullMouseButton = new QPushButton(QStringLiteral("Pull mouse"), devices);
    connect(pullMouseButton, &QPushButton::clicked, this, [this] { PullMouse(); });
    grid->addWidget(pullMouseButton, 1, 0);
    plugOtherButton = new QPushButton(QStringLiteral("Plug other HID device"), devices);
    connect(plugOtherButton, &QPushButton::clicked, this, [this] { PlugOther(); });
    grid->addWidget(plugOtherButton, 1, 1);
    pullOtherButton = new QPushButton(QStringLiteral("Pull other HID device"), devices);
    connect(pullOtherButton, &QPushButton::clicked, this, [this] { PullOther(); });
    grid->addWidget(pullOtherButton, 1, 2);
    presence = new QLabel(devices);
    grid->addWidget(presence, 2, 0, 1, 2);
    detailsButton = new QPushButton(devices);
    detailsButton->setCheckable(true);
    connect(detailsButton, &QPushButton::clicked, this, [this](bool shown) {
        detailsChosen_ = true;
        ShowDetails(shown);
    });
    grid->addWidget(detailsButton, 2, 2);
    layout->addWidget(devices);

    // Folded away on a screen where the whole window would cover the main window's result.
    details = new QWidget(this);
    auto* detailsLayout = new QVBoxLayout(details);
    detailsLayout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(details);

    const Faults& now = line_.faults();
    auto* faults = new QGroupBox(QStringLiteral("Faults"), details);
    auto* form = new QFormLayout(faults);
    const auto row = [faults](QCheckBox* on, QSpinBox* value) {
        auto* box = new QWidget(faults);
        auto* h = new QHBoxLayout(box);
        h->setContentsMargins(0, 0, 0, 0);
        h->addWidget(on);
        h->addWidget(value);
        return box;
    };
    nackOn = new QCheckBox(QStringLiteral("on"), faults);
    nackOn->setChecked(now.nack >= 0);
    nackCommand = MakeSpin(faults, 0, 255, now.nack >= 0 ? now.nack : 1);
    form->addRow(QStringLiteral("Never acknowledge command"), row(nackOn, nackCommand));
    ackAfter = MakeSpin(faults, 1, 100, now.ackAfter);
    form->addRow(QStringLiteral("Acknowledge on poll"), ackAfter);
    losePieceOn = new QCheckBox(QStringLiteral("on"), faults);
    losePieceOn->setChecked(now.losePiece > 0);
    losePiece = MakeSpin(faults, 1, 300, now.losePiece > 0 ? now.losePiece : 1);
    form->addRow(QStringLiteral("Lose read piece"), row(losePieceOn, losePiece));
    failAfterOn = new QCheckBox(QStringLiteral("on"), faults);
    failAfterOn->setChecked(now.failAfter >= 0);
    failAfter = MakeSpin(faults, 0, 1000000, now.failAfter >= 0 ? now.failAfter : 100);
    form->addRow(QStringLiteral("Fail transfers after (from now)"), row(failAfterOn, failAfter));
    latencyUs = MakeSpin(faults, 0, 100000, now.latencyUs);
    latencyUs->setSuffix(QStringLiteral(" us"));
    form->addRow(QStringLiteral("Latency per transfer"), latencyUs);
    detailsLayout->addWidget(faults);

    auto* next = new QGroupBox(QStringLiteral("Status reply of the next mouse"), details);
    auto* nextForm = new QFormLayout(next);
    status1 = MakeSpin(next, 0, 255, 0xAA, 16);
    status2 = MakeSpin(next, 0, 255, 0x04, 16);
    chip = MakeSpin(next, 0, 255, 0x35, 16);
    nextForm->addRow(QStringLiteral("Status byte 1"), status1);
    nextForm->addRow(QStringLiteral("Status byte 2"), status2);
    nextForm->addRow(QStringLiteral("Chip code"), chip);
    detailsLayout->addWidget(next);
    ShowDetails(true);

    for (QCheckBox* box : {nackOn, losePieceOn, failAfterOn}) {
        connect(box, &QCheckBox::toggled, this, [this] { ApplyFaults(); });
    }
    for (QSpinBox* spin : {nackCommand, ackAfter, losePiece, failAfter, latencyUs}) {
        connect(spin, &QSpinBox::valueChanged, this, [this] { ApplyFaults(); });
    }
    // The automatic line plugs and pulls mice by itself.
    auto* refresh = new QTimer(this);
    connect(refresh, &QTimer::timeout, this, [this] { RefreshPresence(); });
    refresh->start(500);
    RefreshPresence();
}

int LineSimulator::PlugMouse(int icType) {
    const int id = line_.plugMouse(icType);
    if (SimulatedMouse* mouse = line_.mouse(id)) {
        mouse->status() = {static_cast<std::uint8_t>(status1->value()),
                           static_cast<std::uint8_t>(status2->value()),
                           static_cast<std::uint8_t>(chip->value())};
    }
    RefreshPresence();
    return id;
}

bool LineSimulator::PullMouse() {
    const std::vector<int> present = line_.devices();
    for (auto it = present.rbegin(); it != present.rend(); ++it) {
        if (line_.mouse(*it) == nullptr) continue;
        line_.unplug(*it);
        RefreshPresence();
        return true;
    }
    return false;
}

int LineSimulator::PlugOther() {
    const int id = line_.plugOther();
    RefreshPresence();
    return id;
}

bool LineSimulator::PullOther() {
    const std::vector<int> present = line_.devices();
    for (auto it = present.rbegin(); it != present.rend(); ++it) {
        if (line_.mouse(*it) != nullptr) continue;
        line_.unplug(*it);
        RefreshPresence();
        return true;
    }
    return false;
}

void LineSimulator::ApplyFaults() {
    Faults& faults = line_.faults();
    faults.nack = nackOn->isChecked() ? nackCommand->value() : -1;
    faults.ackAfter = ackAfter->value();
    faults.losePiece = losePieceOn->isChecked() ? losePiece->value() : 0;
    // Counted from the moment the fault is switched on.
    faults.failAfter = failAfterOn->isChecked()
                           ? static_cast<int>(line_.transferCount()) + failAfter->value()
                           : -1;
    faults.latencyUs = latencyUs->value();
}

void LineSimulator::ShowDetails(bool shown) {
    details->setVisible(shown);
    detailsButton->setChecked(shown);
    detailsButton->setText(shown ? QStringLiteral("Fewer controls") : QStringLiteral("Faults..."));
    // The window takes the size of what it shows.
    layout()->activate();
    resize(sizeHint());
}

void LineSimulator::FollowBeside(QWidget& main, int keep) {
    keep_ = keep;
    PlaceBeside(main);
    // Queued, so that the main window has taken its own place first.
    const auto place = [this, window = QPointer<QWidget>(&main)] {
        QTimer::singleShot(0, this, [this, window] {
            if (window) PlaceBeside(*window);
        });
    };
    new FramePlacement(*this, place);
    new FramePlacement(main, place, this);
}

void LineSimulator::PlaceBeside(const QWidget& main) {
    if (!isVisible()) adjustSize();
    // Until its own frame is known, the main window's (same window manager) stands in.
    QMargins frame = FrameMargins(*this);
    if (frame.isNull()) frame = FrameMargins(main);
    const int keep = FrameMargins(main).top() + keep_;
    const QScreen* screen = main.screen();
    const QRect available = screen != nullptr ? screen->availableGeometry() : QRect();
    if (available.isEmpty()) {
        MoveFrameTo(*this, main.frameGeometry().topRight() + QPoint(kSimulatorGap, 0), frame);
        return;
    }
    // Whole where that finds a place, folded where only that does, unless the operator chose.
    if (!detailsChosen_) {
        details->show();
        layout()->activate();
        const QSize whole = sizeHint().grownBy(frame);
        ShowDetails(SimulatorFits(main.frameGeometry(), whole, available, keep));
    }
    const QSize own = size().grownBy(frame);
    MoveFrameTo(*this, SimulatorOrigin(main.frameGeometry(), own, available, keep), frame);
}

void LineSimulator::RefreshPresence() {
    int mice = 0;
    int others = 0;
    for (const int id : line_.devices()) ++(line_.mouse(id) != nullptr ? mice : others);
    presence->setText(
        QStringLiteral("Present: %1 mouse/mice, %2 other device(s)").arg(mice).arg(others));
}

}  // namespace bw
