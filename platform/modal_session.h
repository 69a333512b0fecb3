// Questions that wait for the user: every alert, file panel and modal window
// counts itself here while it is up (a ModalSession, on the main thread).
//
// Open events wait while one is up (whenNoModalSession). A quit asked by a
// signal waits for no one: dismissModalSessions closes what is up with its
// cancelling choice (through the dismisser the window layer installs), and
// from then on every alert answers its cancelling choice unshown and every
// panel Cancel (see alert.h and panels.h).
#pragma once

#include <functional>

namespace dvk {

class ModalSession {
public:
    ModalSession();
    // The last one to close queues the tasks of whenNoModalSession.
    ~ModalSession();
    ModalSession(const ModalSession&) = delete;
    ModalSession& operator=(const ModalSession&) = delete;
};

// A modal session is up. Main thread.
bool modalSessionOpen();
// Runs `task` now when no modal session is up, else queues it to the main
// queue when the last one closes (after the code that closed it). Main thread.
void whenNoModalSession(std::function<void()> task);

// Closes every modal session that is up with its cancelling choice (the
// window layer's part; empty: none). Main thread.
void setModalDismisser(std::function<void()> dismisser);
// From now on nothing waits for the user: what is up is closed, later
// questions are answered at once. Main thread.
void dismissModalSessions();
// Any thread.
bool modalSessionsDismissed();
// Questions are shown again (tests).
void resumeModalSessions();

}  // namespace dvk
