#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget w;
    w.setWindowTitle("MIRQ Mse Binwright v1.0");
    w.show();
    return app.exec();
}
