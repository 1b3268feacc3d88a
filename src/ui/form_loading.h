#pragma once
// The loading window: a borderless, top-most busy animation shown over the main
// window while device work runs. Black is its transparent colour. It takes no input,
// is hidden between operations and lives until the tool ends.

#include <QRect>
#include <QSize>
#include <QWidget>

class QLabel;
class QMovie;

namespace bw {

class TFormLoadingUI : public QWidget {
    Q_OBJECT

  public:
    static constexpr QSize kClientSize{206, 196};
    static constexpr QSize kAnimationSize{200, 192};

    // Hidden after construction; the animation runs from the start.
    explicit TFormLoadingUI(QWidget* parent = nullptr);

    // Centred over the main window's frame, 40 pixels lower: the place at start-up.
    void PlaceAtCreation(const QRect& mainGeometry);
    // Centred over the main window's frame, without the offset: before every showing.
    void PlaceOver(const QRect& mainGeometry);
    // Places, shows and raises the window, then lets pending events run once so it paints.
    void ShowOver(const QRect& mainGeometry);

    QLabel* WaitGif() const { return waitGif_; }
    QMovie* Animation() const { return movie_; }

  private:
    void ShowFrame();

    QLabel* waitGif_;
    QMovie* movie_;
};

}  // namespace bw
