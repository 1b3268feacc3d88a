#include "app/single_instance.h"

#include <QCryptographicHash>
#include <QLocalSocket>

namespace bw {

namespace {

constexpr int kConnectTimeoutMs = 1000;
const QByteArray kRestore = QByteArrayLiteral("restore\n");

// A socket name safe on every platform, distinct per user and per key.
QString ServerNameFor(const QString& key) {
    const QByteArray user = qgetenv("USER") + qgetenv("USERNAME");
    const QByteArray digest =
        QCryptographicHash::hash(key.toUtf8() + '\0' + user, QCryptographicHash::Sha1).toHex();
    return QStringLiteral("binwright-") + QString::fromLatin1(digest.left(16));
}

}  // namespace

SingleInstance::SingleInstance(const QString& key, QObject* parent) : QObject(parent) {
    const QString apart = qEnvironmentVariable("BINWRIGHT_INSTANCE_KEY");
    serverName_ = ServerNameFor(apart.isEmpty() ? key : apart + QLatin1Char('\n') + key);
    connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::OnConnection);
}

bool SingleInstance::ActivateRunningCopy() {
    QLocalSocket socket;
    socket.connectToServer(serverName_);
    if (!socket.waitForConnected(kConnectTimeoutMs)) return false;
    socket.write(kRestore);
    socket.waitForBytesWritten(kConnectTimeoutMs);
    // Wait for the first copy to take the request before leaving.
    socket.waitForReadyRead(kConnectTimeoutMs);
    socket.disconnectFromServer();
    return true;
}

bool SingleInstance::Listen() {
    if (server_.listen(serverName_)) return true;
    // A copy that crashed leaves its socket behind; nobody answered on it.
    QLocalServer::removeServer(serverName_);
    return server_.listen(serverName_);
}

void SingleInstance::OnConnection() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->readAll().contains("restore")) return;
            socket->write("ok\n");
            socket->flush();
            emit restoreRequested();
        });
    }
}

void BringToFront(QWidget& window) {
    window.setWindowState((window.windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window.showNormal();
    window.raise();
    window.activateWindow();
}

}  // namespace bw
