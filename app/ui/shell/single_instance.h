// One running program per support folder (see app/desktop/single_instance.h).
//
// claimSingleInstance() is the first thing main does, before the log and the
// QApplication: it takes the lock, or hands this launch's files (made
// absolute) to the program that holds it and answers the exit code: 0 when
// they were taken (without files: the window raised), 1 when refused or when
// no answer came in 10 seconds (then "DVK is running but does not answer" is
// said on standard error). A launch whose lock cannot be made at all,
// or whose runtime folder is refused (said on standard error and in the
// log), runs on its own.
//
// InstanceServer, made by the program that holds the lock, listens for the
// files of later launches: each message is one open event, acted on once,
// and only while its launch still waits for the answer (a message read after
// its launch gave up, or about to, is logged and dropped).
#pragma once

#include <QtCore/QObject>
#include <QtNetwork/QLocalServer>
#include <optional>
#include <string>
#include <vector>

namespace dvk {

class Controller;
class ControllerUi;

std::optional<int> claimSingleInstance(int argc, char** argv);
// Removes the lock (at the program's end).
void releaseSingleInstance();
// The socket of the claimed instance ("" when this launch holds no lock).
std::string claimedInstanceSocket();

class InstanceServer : public QObject {
    Q_OBJECT

public:
    // Listens at `socketFile` (replacing a stale socket); "" listens nowhere.
    InstanceServer(Controller& controller, const std::string& socketFile, QObject* parent = nullptr);
    ~InstanceServer() override;
    bool listening() const { return server_.isListening(); }
    // The answer to one message's files (kInstanceAccepted or kInstanceRefused).
    char answer(const std::vector<std::string>& files);

private:
    void serve(class QLocalSocket* socket);

    Controller& controller_;
    QLocalServer server_;
};

}  // namespace dvk
