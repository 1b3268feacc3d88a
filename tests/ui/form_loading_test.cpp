#include "ui/form_loading.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImageReader>
#include <QLabel>
#include <QMovie>
#include <QWidget>

#include "ui/placement.h"

namespace {

using bw::TFormLoadingUI;

TEST(LoadingPlacement, CentresWithTruncatingDivision) {
    const QSize own(206, 196);
    // (625 - 206) div 2 = 209, (680 - 196) div 2 = 242.
    EXPECT_EQ(bw::CentredOver(QRect(100, 50, 625, 680), own), QPoint(309, 292));
    EXPECT_EQ(bw::CentredOverAtCreation(QRect(100, 50, 625, 680), own), QPoint(309, 332));
    // Odd differences: 419 div 2 = 209, 483 div 2 = 241.
    EXPECT_EQ(bw::CentredOver(QRect(0, 0, 625, 679), QSize(206, 196)), QPoint(209, 241));
    // A main window smaller than the loading window: -105 div 2 truncates to -52, not -53.
    EXPECT_EQ(bw::CentredOver(QRect(10, 10, 101, 101), own), QPoint(10 - 52, 10 - 47));
    // Negative screen coordinates (a monitor left of the primary one).
    EXPECT_EQ(bw::CentredOver(QRect(-900, -20, 625, 680), own), QPoint(-691, 222));
}

TEST(LoadingWindow, BorderlessTopMostAnimatedAndHidden) {
    TFormLoadingUI loading;
    EXPECT_FALSE(loading.isVisible());
    const Qt::WindowFlags flags = loading.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Tool);
    EXPECT_EQ(loading.size(), QSize(206, 196));

    QLabel* gif = loading.WaitGif();
    ASSERT_NE(gif, nullptr);
    EXPECT_EQ(gif->objectName(), "WaitGif");
    EXPECT_EQ(gif->geometry(), QRect(0, 0, 200, 192));

    QMovie* movie = loading.Animation();
    ASSERT_TRUE(movie->isValid()) << "resource :/wait.gif missing";
    EXPECT_EQ(movie->state(), QMovie::Running);
    EXPECT_EQ(movie->frameCount(), 12);
    EXPECT_EQ(movie->loopCount(), -1);  // forever
    EXPECT_EQ(movie->frameRect().size(), QSize(200, 192));
}

TEST(LoadingWindow, AnimationHasTwelveFramesOf50Ms) {
    TFormLoadingUI loading;  // registers the resource
    QImageReader reader(QStringLiteral(":/wait.gif"));
    EXPECT_EQ(reader.imageCount(), 12);
    EXPECT_EQ(reader.loopCount(), -1);
    int frames = 0;
    for (QImage frame = reader.read(); !frame.isNull(); frame = reader.read(), ++frames) {
        EXPECT_EQ(frame.size(), QSize(200, 192)) << "frame " << frames;
        EXPECT_EQ(reader.nextImageDelay(), 50) << "frame " << frames;
    }
    EXPECT_EQ(frames, 12);
}

TEST(LoadingWindow, BlackIsCutOutOfTheWindowShape) {
    TFormLoadingUI loading;
    ASSERT_TRUE(loading.Animation()->jumpToFrame(0));
    QApplication::processEvents();

    const QRegion shape = loading.mask();
    ASSERT_FALSE(shape.isEmpty());
    EXPECT_FALSE(shape.contains(QPoint(0, 0)));      // black corner
    EXPECT_FALSE(shape.contains(QPoint(100, 96)));   // black centre of the ring
    EXPECT_FALSE(shape.contains(QPoint(203, 194)));  // strip right and below the animation
    EXPECT_TRUE(shape.contains(QPoint(100, 30)));    // the dot at twelve o'clock
    EXPECT_FALSE(loading.WaitGif()->pixmap().isNull());
}

TEST(LoadingWindow, ShowsCentredOverWhereTheMainWindowIsNow) {
    QWidget main;
    main.setGeometry(100, 100, 625, 680);
    main.show();

    TFormLoadingUI loading;
    // The frame (title bar and border included) is what the window is centred over.
    const auto centre = [](const QRect& frame) {
        return QPoint(frame.left() + (frame.width() - 206) / 2,
                      frame.top() + (frame.height() - 196) / 2);
    };
    loading.PlaceAtCreation(main.frameGeometry());
    EXPECT_EQ(loading.pos(), centre(main.frameGeometry()) + QPoint(0, bw::kCreationOffsetY));

    main.move(500, 40);
    QApplication::processEvents();
    loading.ShowOver(main.frameGeometry());
    EXPECT_TRUE(loading.isVisible());
    EXPECT_EQ(loading.pos(), centre(main.frameGeometry()));

    loading.hide();
    EXPECT_FALSE(loading.isVisible());
}

}  // namespace
