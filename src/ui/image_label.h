#pragma once
// A picture on the window that reports double clicks.

#include <QLabel>

namespace bw {

class TImage : public QLabel {
    Q_OBJECT
  public:
    using QLabel::QLabel;

  signals:
    void doubleClicked();

  protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

}  // namespace bw
