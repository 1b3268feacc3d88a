#include "app/line_simulator.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <utility>

#include "image/ic_types.h"
#include "ui/frame_placement.h"
#include "window/window_placement.h"

namespace bw {

namespace {

// A spin field in its range, hexadecimal ones with their prefix.
QSpinBox* MakeSpin(QWidget* parent, window::SimControl control) {
    auto* spin = new QSpinBox(parent);
    for (const window::SimSpinRange& range : window::kSimSpinRanges) {
        if (range.control != control) continue;
        spin->setRange(range.low, range.high);
        spin->setDisplayIntegerBase(range.base);
        if (range.base == 16) spin->setPrefix(QStringLiteral("0x"));
    }
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
    return window::SimulatorFits(
        {main.x(), main.y(), main.width(), main.height()}, own.width(), own.height(),
        {available.x(), available.y(), available.width(), available.height()}, keep);
}

LineSimulator::LineSimulator(QWidget* parent) : QWidget(parent) {
    using window::SimControl;
    using window::SimEvent;
    setObjectName(QStringLiteral("LineSimulator"));
    setWindowTitle(QStringLiteral("Line simulator"));
    auto* layout = new QVBoxLayout(this);

    auto* devices = new QGroupBox(QStringLiteral("Devices"), this);
    auto* grid = new QGridLayout(devices);
    const auto button = [this, devices](const QString& text, SimControl control) {
        auto* made = new QPushButton(text, devices);
        connect(made, &QPushButton::clicked, this,
                [this, control] { Report(control, window::SimEvent::Click); });
        return made;
    };
    for (int ic = 0; ic < static_cast<int>(kIcTypes.size()); ++ic) {
        const std::string_view row = kIcTypes[static_cast<std::size_t>(ic)].rowText;
        auto* plug =
            button(QStringLiteral("Plug %1 mouse")
                       .arg(QString::fromLatin1(row.data(), static_cast<qsizetype>(row.size()))),
                   static_cast<SimControl>(static_cast<int>(SimControl::PlugMouse0) + ic));
        grid->addWidget(plug, 0, ic);
        plugMouseButtons << plug;
    }
    pullMouseButton = button(QStringLiteral("Pull mouse"), SimControl::PullMouse);
    grid->addWidget(pullMouseButton, 1, 0);
    plugOtherButton = button(QStringLiteral("Plug other HID device"), SimControl::PlugOther);
    grid->addWidget(plugOtherButton, 1, 1);
    pullOtherButton = button(QStringLiteral("Pull other HID device"), SimControl::PullOther);
    grid->addWidget(pullOtherButton, 1, 2);
    presence = new QLabel(devices);
    grid->addWidget(presence, 2, 0, 1, 2);
    detailsButton = button(QString(), SimControl::Details);
    detailsButton->setCheckable(true);
    grid->addWidget(detailsButton, 2, 2);
    layout->addWidget(devices);

    // Folded away on a screen where the whole window would cover the main window's result.
    details = new QWidget(this);
    auto* detailsLayout = new QVBoxLayout(details);
    detailsLayout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(details);

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
    nackCommand = MakeSpin(faults, SimControl::NackCommand);
    form->addRow(QStringLiteral("Never acknowledge command"), row(nackOn, nackCommand));
    ackAfter = MakeSpin(faults, SimControl::AckAfter);
    form->addRow(QStringLiteral("Acknowledge on poll"), ackAfter);
    losePieceOn = new QCheckBox(QStringLiteral("on"), faults);
    losePiece = MakeSpin(faults, SimControl::LosePiece);
    form->addRow(QStringLiteral("Lose read piece"), row(losePieceOn, losePiece));
    failAfterOn = new QCheckBox(QStringLiteral("on"), faults);
    failAfter = MakeSpin(faults, SimControl::FailAfter);
    form->addRow(QStringLiteral("Fail transfers after (from now)"), row(failAfterOn, failAfter));
    latencyUs = MakeSpin(faults, SimControl::LatencyUs);
    latencyUs->setSuffix(QStringLiteral(" us"));
    form->addRow(QStringLiteral("Latency per transfer"), latencyUs);
    detailsLayout->addWidget(faults);

    auto* next = new QGroupBox(QStringLiteral("Status reply of the next mouse"), details);
    auto* nextForm = new QFormLayout(next);
    status1 = MakeSpin(next, SimControl::Status1);
    status2 = MakeSpin(next, SimControl::Status2);
    chip = MakeSpin(next, SimControl::Chip);
    nextForm->addRow(QStringLiteral("Status byte 1"), status1);
    nextForm->addRow(QStringLiteral("Status byte 2"), status2);
    nextForm->addRow(QStringLiteral("Chip code"), chip);
    detailsLayout->addWidget(next);

    const std::pair<QCheckBox*, SimControl> switches[] = {{nackOn, SimControl::NackOn},
                                                          {losePieceOn, SimControl::LosePieceOn},
                                                          {failAfterOn, SimControl::FailAfterOn}};
    for (const auto& [box, control] : switches) {
        connect(box, &QCheckBox::toggled, this,
                [this, control] { Report(control, SimEvent::Change); });
    }
    for (const window::SimSpinRange& range : window::kSimSpinRanges) {
        const SimControl control = range.control;
        connect(Spin(control), &QSpinBox::valueChanged, this,
                [this, control] { Report(control, SimEvent::Change); });
    }
    connect(&ticks_, &QTimer::timeout, this,
            [this] { Report(SimControl::Presence, SimEvent::Tick); });
}

QSpinBox* LineSimulator::Spin(window::SimControl control) const {
    using window::SimControl;
    switch (control) {
        case SimControl::NackCommand:
            return nackCommand;
        case SimControl::AckAfter:
            return ackAfter;
        case SimControl::LosePiece:
            return losePiece;
        case SimControl::FailAfter:
            return failAfter;
        case SimControl::LatencyUs:
            return latencyUs;
        case SimControl::Status1:
            return status1;
        case SimControl::Status2:
            return status2;
        case SimControl::Chip:
            return chip;
        default:
            return nullptr;
    }
}

QCheckBox* LineSimulator::Switch(window::SimControl control) const {
    using window::SimControl;
    switch (control) {
        case SimControl::NackOn:
            return nackOn;
        case SimControl::LosePieceOn:
            return losePieceOn;
        case SimControl::FailAfterOn:
            return failAfterOn;
        default:
            return nullptr;
    }
}

void LineSimulator::Report(window::SimControl control, window::SimEvent event) {
    if (events_ != nullptr && !setting_) events_->OnSimEvent(control, event);
}

void LineSimulator::SetValue(window::SimControl control, int value) {
    setting_ = true;
    if (control == window::SimControl::Details) {
        const bool shown = value != 0;
        details->setVisible(shown);
        detailsButton->setChecked(shown);
        // The window takes the size of what it shows.
        layout()->activate();
        resize(sizeHint());
    } else if (QCheckBox* box = Switch(control)) {
        box->setChecked(value != 0);
    } else if (QSpinBox* spin = Spin(control)) {
        spin->setValue(value);
    }
    setting_ = false;
}

int LineSimulator::Value(window::SimControl control) const {
    if (control == window::SimControl::Details) return detailsButton->isChecked() ? 1 : 0;
    if (const QCheckBox* box = Switch(control)) return box->isChecked() ? 1 : 0;
    if (const QSpinBox* spin = Spin(control)) return spin->value();
    return 0;
}

void LineSimulator::SetText(window::SimControl control, std::string_view text) {
    const QString shown = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    if (control == window::SimControl::Presence) presence->setText(shown);
    if (control == window::SimControl::Details) detailsButton->setText(shown);
}

void LineSimulator::StartTicks(int periodMs) {
    ticks_.start(periodMs);
}

void LineSimulator::StopTicks() {
    ticks_.stop();
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
    // Whether the whole window finds a place: the behaviour folds the details where not.
    if (events_ != nullptr) {
        const bool folded = details->isHidden();
        details->show();
        layout()->activate();
        const QSize whole = sizeHint().grownBy(frame);
        details->setHidden(folded);
        layout()->activate();
        events_->OnPlaced(SimulatorFits(main.frameGeometry(), whole, available, keep));
    }
    const QSize own = size().grownBy(frame);
    MoveFrameTo(*this, SimulatorOrigin(main.frameGeometry(), own, available, keep), frame);
}

}  // namespace bw
