// Modal alerts: showAlert hands a title, a text and buttons to the installed
// presenter on the main thread and answers 1000 + the position of the button
// pressed (1000 for the first), or -1 when nothing was shown.
//
// The program installs the Qt presenter (a message box) at start-up, or the
// developer hook's presenter; tests install a ScriptedAlerts. With no
// presenter installed nothing is shown and the answer is -1. Every alert is
// logged as "Alert <title> <text> (<buttons>) <answer>", whoever answered it.
// A command-line tool whose presenter says the alerts in its own words turns
// that log line off (setAlertsLogged). An alert counts as a modal session
// while it is up; once the sessions are dismissed (modal_session.h) every
// alert answers its cancelling choice.
#pragma once

#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace dvk {

struct AlertRequest {
    std::optional<std::string> title;  // nullopt: the alert's default title
    std::string text;
    std::vector<std::string> buttons;  // in order; at least one
};

// Shows the alert and answers 1000 + the index of the button pressed, or -1.
using AlertPresenter = std::function<int(const AlertRequest&)>;
// Empty: none (every alert answers -1).
void setAlertPresenter(AlertPresenter presenter);
// Whether each alert is logged (true until set otherwise).
void setAlertsLogged(bool logged);

// From any thread. No text, or no button: nothing is shown, -1. Off the main
// thread it pauses 100 ms, then waits while the main thread shows the alert.
int showAlert(const std::optional<std::string>& title, const std::optional<std::string>& text,
              const std::vector<std::string>& buttons);
// printf-style text; a null format shows nothing (-1).
int showAlertf(const std::optional<std::string>& title, const std::vector<std::string>& buttons, const char* format,
               ...) __attribute__((format(printf, 3, 4)));

// How an alert looks: a warning (the alerts titled "Warning": questions
// before something that cannot be taken back, and what went wrong with it)
// or information (every other alert).
enum class AlertStyle { Informational, Warning };
AlertStyle alertStyle(const AlertRequest& request);

// The choice that cancels an alert: its button "Cancel", else "Later", else
// its only button; -1 (nothing pressed) for other alerts of several buttons.
int cancellingAnswer(const AlertRequest& request);

// printf into a std::string.
std::string formatString(const char* format, ...) __attribute__((format(printf, 1, 2)));

// An alert presenter for tests: answers from a queue of button titles (or
// positions), else the first button, and keeps every request it saw.
class ScriptedAlerts {
public:
    // The next alert presses the button with this title (its first button
    // when it has none of that title).
    void answer(std::string buttonTitle);
    // The next alert presses the button at this position (0: the first).
    void answerIndex(int index);
    AlertPresenter presenter();
    std::vector<AlertRequest> requests() const;
    std::size_t count() const;
    void clear();

private:
    int present(const AlertRequest& request);

    mutable std::mutex mutex_;
    std::deque<std::pair<std::string, int>> answers_;  // title, or index when the title is empty
    std::vector<AlertRequest> requests_;
};

}  // namespace dvk
