#include "app/ui/shell/single_instance.h"

#include <QtCore/QDeadlineTimer>
#include <QtCore/QLockFile>
#include <QtCore/QThread>
#include <QtNetwork/QLocalSocket>
#include <algorithm>
#include <cstdio>
#include <memory>

#include "app/controller/controller.h"
#include "app/controller/controller_ui.h"
#include "app/controller/open_events.h"
#include "app/desktop/single_instance.h"
#include "platform/folders.h"
#include "platform/log.h"

namespace dvk {

namespace {

// The running program holds the lock but gave no answer in time (it may be
// stopped, or hung): said, and the launch ends with 1.
int no_answer() {
    std::fprintf(stderr, "DVK is running but does not answer\n");
    return 1;
}

struct Claim {
    std::unique_ptr<QLockFile> lock;
    std::string socketFile;
    std::string refusal;  // why this launch runs on its own, for the log
};

Claim& claim() {
    static Claim c;
    return c;
}

// Sends the message and waits for the one-byte answer until the deadline;
// nullopt without one. An answer already come in is taken even when the
// deadline has passed meanwhile (this launch was stopped itself, say): the
// program acted on the files.
std::optional<char> hand_over(QLocalSocket& socket, const std::string& message, const QDeadlineTimer& deadline) {
    socket.write(message.data(), static_cast<qint64>(message.size()));
    socket.flush();
    while (socket.bytesAvailable() == 0) {
        const bool last = deadline.hasExpired();
        socket.waitForReadyRead(last ? 0 : static_cast<int>(std::max<qint64>(deadline.remainingTime(), 1)));
        if (socket.bytesAvailable() > 0) break;
        if (last || socket.state() == QLocalSocket::UnconnectedState) return std::nullopt;
    }
    char answer = 0;
    socket.read(&answer, 1);
    return answer;
}

}  // namespace

std::optional<int> claimSingleInstance(int argc, char** argv) {
    std::string why;
    const std::optional<std::string> runtimeFolder = instanceRuntimeFolder(&why);
    if (!runtimeFolder) {
        // Files of later launches are not taken over: they run on their own too.
        claim().refusal = "DVK: " + why + "; running on its own";
        std::fprintf(stderr, "%s\n", claim().refusal.c_str());
        return std::nullopt;
    }
    const InstancePaths paths = instancePaths(applicationSupportFolder(), *runtimeFolder);
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i] ? argv[i] : "");
    // The message carries the time this launch stops waiting: a program that
    // reads it later (it was stopped, or hung) knows it is no longer wanted.
    const std::int64_t until = instanceClockNow() + kHandOverWaitNs;
    const std::string message = encodeOpenMessage(commandLineFiles(args, currentDirectory()), until);
    QDeadlineTimer deadline(kHandOverWaitNs / 1'000'000);
    for (;;) {
        auto lock = std::make_unique<QLockFile>(QString::fromStdString(paths.lockFile));
        // Only a lock whose program has gone is stale, however old it is.
        lock->setStaleLockTime(0);
        if (lock->tryLock(0)) {
            claim().lock = std::move(lock);
            claim().socketFile = paths.socketFile;
            return std::nullopt;
        }
        if (lock->error() != QLockFile::LockFailedError) {
            std::fprintf(stderr, "DVK: cannot make the lock %s; running on its own\n", paths.lockFile.c_str());
            return std::nullopt;
        }
        // The holder may still be starting: its socket comes soon.
        QLocalSocket socket;
        socket.connectToServer(QString::fromStdString(paths.socketFile));
        if (socket.waitForConnected(static_cast<int>(std::min<qint64>(500, deadline.remainingTime())))) {
            std::optional<char> answer = hand_over(socket, message, deadline);
            // Too late (the program read the files when this launch was about
            // to give up on it): nothing was done.
            if (!answer || *answer == kInstanceLate) return no_answer();
            return *answer == kInstanceAccepted ? 0 : 1;
        }
        if (deadline.hasExpired()) return no_answer();
        QThread::msleep(50);
    }
}

void releaseSingleInstance() {
    claim().lock.reset();
    claim().socketFile.clear();
}

std::string claimedInstanceSocket() { return claim().socketFile; }

InstanceServer::InstanceServer(Controller& controller, const std::string& socketFile, QObject* parent)
    : QObject(parent), controller_(controller) {
    if (!claim().refusal.empty()) log_line("%s", claim().refusal.c_str());
    if (socketFile.empty()) return;
    const QString name = QString::fromStdString(socketFile);
    // A socket left by a program that ended without removing it.
    QLocalServer::removeServer(name);
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_.listen(name)) {
        log_line("Can't listen at %s: %s", socketFile.c_str(), server_.errorString().toStdString().c_str());
        return;
    }
    connect(&server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_.nextPendingConnection()) serve(socket);
    });
}

InstanceServer::~InstanceServer() { server_.close(); }

char InstanceServer::answer(const std::vector<std::string>& files) {
    if (files.empty()) {
        if (ControllerUi* ui = controller_.ui()) ui->bringMainWindowToFront();
        return kInstanceAccepted;
    }
    return controller_.applicationOpenFiles(files) == OpenReply::Success ? kInstanceAccepted : kInstanceRefused;
}

void InstanceServer::serve(QLocalSocket* socket) {
    struct Received {
        std::string bytes;
        bool answered = false;
    };
    auto received = std::make_shared<Received>();
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket, received] {
        const QByteArray bytes = socket->readAll();
        if (received->answered) return;
        received->bytes.append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
        bool malformed = false;
        std::optional<OpenMessage> message = decodeOpenMessage(received->bytes, &malformed);
        if (malformed) {
            socket->disconnectFromServer();
            return;
        }
        if (!message) return;
        received->answered = true;
        char reply = kInstanceLate;
        if (handOverInTime(*message, instanceClockNow()))
            reply = answer(message->files);
        else
            log_line("Dropped list %s: its launch no longer waits for the answer",
                     describePathList(message->files).c_str());
        socket->write(&reply, 1);
        socket->flush();
        socket->disconnectFromServer();
    });
}

}  // namespace dvk
