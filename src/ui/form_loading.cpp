#include "ui/form_loading.h"

#include <QBitmap>
#include <QCoreApplication>
#include <QImage>
#include <QLabel>
#include <QMovie>
#include <QPalette>
#include <QPixmap>

#include "ui/placement.h"

// The animation lives in a resource of a static library; registering it here keeps
// the linker from dropping it.
static void InitAssets() {
    static const bool done = [] {
        Q_INIT_RESOURCE(assets);
        return true;
    }();
    (void)done;
}

namespace bw {

TFormLoadingUI::TFormLoadingUI(QWidget* parent)
    : QWidget(parent, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool |
                          Qt::WindowDoesNotAcceptFocus),
      waitGif_(new QLabel(this)),
      movie_(new QMovie(this)) {
    InitAssets();
    movie_->setFileName(QStringLiteral(":/wait.gif"));
    setObjectName(QStringLiteral("FormLoadingUI"));
    setFixedSize(kClientSize);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_ShowWithoutActivating);
    // With a compositor the black pixels are see-through; the shape mask set per
    // frame does the same without one.
    setAttribute(Qt::WA_TranslucentBackground);
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    setWindowOpacity(1.0);

    waitGif_->setObjectName(QStringLiteral("WaitGif"));
    waitGif_->setGeometry(QRect(QPoint(0, 0), kAnimationSize));
    waitGif_->setScaledContents(true);

    connect(movie_, &QMovie::frameChanged, this, [this] { ShowFrame(); });
    movie_->start();
}

void TFormLoadingUI::PlaceAtCreation(const QRect& mainGeometry) {
    move(CentredOverAtCreation(mainGeometry, kClientSize));
}

void TFormLoadingUI::PlaceOver(const QRect& mainGeometry) {
    move(CentredOver(mainGeometry, kClientSize));
}

void TFormLoadingUI::ShowOver(const QRect& mainGeometry) {
    PlaceOver(mainGeometry);
    show();
    raise();
    QCoreApplication::processEvents();
}

void TFormLoadingUI::ShowFrame() {
    QImage frame = movie_->currentImage().convertToFormat(QImage::Format_RGB32);
    if (frame.isNull()) return;
    if (frame.size() != kAnimationSize) {
        frame = frame.scaled(kAnimationSize, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    }
    // Pure black is the transparent colour: cut it out of the frame and of the window shape.
    QPixmap pixmap = QPixmap::fromImage(frame);
    const QBitmap visible = pixmap.createMaskFromColor(Qt::black, Qt::MaskInColor);
    pixmap.setMask(visible);
    waitGif_->setPixmap(pixmap);
    setMask(QRegion(visible).translated(waitGif_->pos()));
}

}  // namespace bw
