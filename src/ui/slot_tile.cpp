#include "ui/slot_tile.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace bw {
namespace {

using window::kPhasePoints;

QLabel* MakeLabel(QWidget* parent, const char* name, int points, bool bold = false) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    QFont font = label->font();
    font.setPointSize(points);
    font.setBold(bold);
    label->setFont(font);
    return label;
}

}  // namespace

SlotTile::SlotTile(int slot, QWidget* parent) : QFrame(parent), slot_(slot) {
    setObjectName(QStringLiteral("slot%1").arg(slot));
    setFrameShape(QFrame::Box);
    setMinimumWidth(grid_.tileWidth);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 6, 8, 6);
    layout->setSpacing(4);

    title = MakeLabel(this, "title", 11, true);
    layout->addWidget(title);
    result = MakeLabel(this, "result", grid_.resultPoints, true);
    result->setAlignment(Qt::AlignCenter);
    // A long phase ("Reading back block 3/8") takes two lines rather than being cut.
    result->setWordWrap(true);
    // Room for the large result, so a phase's smaller text does not make the tile jump.
    result->setMinimumHeight(QFontMetrics(result->font()).height() + 4);
    layout->addWidget(result);
    // Why a mouse failed, in as many lines as it takes; whole in the tooltip as well.
    detail = MakeLabel(this, "detail", 9);
    detail->setAlignment(Qt::AlignCenter);
    detail->setWordWrap(true);
    // Two lines kept for it, so a reason that wraps does not squeeze the result above it.
    detail->setMinimumHeight(2 * QFontMetrics(detail->font()).lineSpacing());
    layout->addWidget(detail);
    progress = new QProgressBar(this);
    progress->setObjectName(QStringLiteral("progress"));
    progress->setTextVisible(false);
    progress->setMaximumHeight(12);
    layout->addWidget(progress);
    auto* bottom = new QHBoxLayout;
    serial = MakeLabel(this, "serial", 10);
    elapsed = MakeLabel(this, "elapsed", 10);
    elapsed->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    bottom->addWidget(serial);
    bottom->addWidget(elapsed);
    layout->addLayout(bottom);

    show({.slot = slot, .text = "No mouse", .serial = "SN -"});
}

void SlotTile::setGrid(const window::TileGrid& grid) {
    grid_ = grid;
    setMinimumWidth(grid.tileWidth);
    QFont font = result->font();
    font.setPointSize(grid.resultPoints);
    result->setMinimumHeight(QFontMetrics(font).height() + 4);
    if (result->font().pointSize() > kPhasePoints) result->setFont(font);
}

void SlotTile::show(const window::SlotTileState& state) {
    title->setText(QString::fromStdString(window::SlotTileTitle(state)));
    result->setText(QString::fromStdString(state.text));
    setResultLook(QColor(state.colour.r, state.colour.g, state.colour.b),
                  state.large ? grid_.resultPoints : kPhasePoints);
    const QString why = QString::fromStdString(state.detail);
    detail->setText(why);
    detail->setToolTip(why);
    serial->setText(QString::fromStdString(state.serial));
    progress->setRange(0, state.progressTotal > 0 ? state.progressTotal : 1);
    progress->setValue(state.progressTotal > 0 ? state.progressDone : 0);
    if (state.elapsedSeconds) {
        elapsed->setText(QStringLiteral("%1 s").arg(*state.elapsedSeconds, 0, 'f', 1));
    } else {
        elapsed->clear();
    }
}

void SlotTile::setResultLook(const QColor& colour, int pointSize) {
    QPalette palette = result->palette();
    palette.setColor(QPalette::WindowText, colour);
    result->setPalette(palette);
    QFont font = result->font();
    font.setPointSize(pointSize);
    result->setFont(font);
}

}  // namespace bw
