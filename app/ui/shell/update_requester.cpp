#include "app/ui/shell/update_requester.h"

#include <QtCore/QDeadlineTimer>
#include <QtCore/QUrl>
#include <QtNetwork/QSslSocket>

#include "app/common/app_version.h"

namespace dvk {

namespace {

constexpr int kSliceMs = 100;
constexpr int kLimitMs = 20000;

}  // namespace

std::optional<std::string> requestUpdateFeed(const std::string& address, const std::function<bool()>& stopRequested) {
    const QUrl url(QString::fromStdString(address), QUrl::StrictMode);
    if (!url.isValid() || url.scheme() != QLatin1String("https") || url.host().isEmpty())
        return "Update check: not an https address: " + address;
    if (!QSslSocket::supportsSsl()) return std::string("Update check: no TLS support");

    QSslSocket socket;
    QDeadlineTimer deadline(kLimitMs);
    auto stopped = [&] { return (stopRequested && stopRequested()) || deadline.hasExpired(); };
    auto error = [&] { return "Update check: " + socket.errorString().toStdString() + " (" + address + ")"; };

    socket.connectToHostEncrypted(url.host(), static_cast<quint16>(url.port(443)));
    while (!socket.waitForEncrypted(kSliceMs)) {
        if (socket.isEncrypted()) break;
        if (socket.state() == QAbstractSocket::UnconnectedState) return error();
        if (stopped()) return "Update check: stopped (" + address + ")";
    }
    QByteArray path = url.path(QUrl::FullyEncoded).toUtf8();
    if (url.hasQuery()) path += "?" + url.query(QUrl::FullyEncoded).toUtf8();
    QByteArray host = url.host(QUrl::FullyEncoded).toUtf8();
    if (url.port() > 0) host += ":" + QByteArray::number(url.port());
    const QByteArray request = "GET " + path + " HTTP/1.1\r\nHost: " + host + "\r\nUser-Agent: DVK/" +
                               QByteArray(dvkShortVersion()) + "\r\nConnection: close\r\n\r\n";
    socket.write(request);
    // The answer is read to its end and not used.
    qint64 received = 0;
    while (socket.state() != QAbstractSocket::UnconnectedState) {
        if (socket.waitForReadyRead(kSliceMs)) received += socket.readAll().size();
        if (stopped()) return "Update check: stopped (" + address + ")";
    }
    received += socket.readAll().size();
    if (received == 0) return "Update check: no answer (" + address + ")";
    return std::nullopt;
}

}  // namespace dvk
