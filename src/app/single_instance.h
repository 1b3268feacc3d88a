#pragma once
// One running copy per user: the first copy listens on a local socket named
// after its window title; a later copy asks it to come to the front and ends.

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <QWidget>

namespace bw {

class SingleInstance : public QObject {
    Q_OBJECT
  public:
    // `key` is the window's title (the main window's, or the gang station's: an instance of
    // its own). BINWRIGHT_INSTANCE_KEY, when set, keeps copies started with other values of
    // it apart (tests).
    explicit SingleInstance(const QString& key, QObject* parent = nullptr);

    // True when another copy answered and was asked to restore its window.
    bool ActivateRunningCopy();
    // Starts answering later copies; false when the name could not be taken.
    bool Listen();

    QString ServerName() const { return serverName_; }

  signals:
    // A later copy asked this one to show its window.
    void restoreRequested();

  private:
    void OnConnection();

    QString serverName_;
    QLocalServer server_;
};

// Restores a window (also from minimised), raises it and gives it the focus.
void BringToFront(QWidget& window);

}  // namespace bw
