// The modal calls the rules in this folder make, as plain functions that the
// Controller binds to its alert and panel layers (and tests to scripted
// answers), so that no rule here waits on a window of its own.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace dvk {

// Shows an alert and answers the button pressed: 1000 for the first, 1001 for
// the second, ...; -1 when nothing was shown. An empty title is an alert
// without title.
using AlertFunction =
    std::function<int(const std::string& title, const std::string& text, const std::vector<std::string>& buttons)>;
constexpr int kAlertFirstButton = 1000;
// The program's alert layer (showAlert) as an AlertFunction.
AlertFunction programAlert();

// An open panel for one file (no folders, any type) starting in `folder`;
// the chosen path, or nullopt on Cancel.
using ChooseFileFunction = std::function<std::optional<std::string>(const std::string& folder)>;

// `format` with each "%@" replaced, in order, by the next of `values`.
std::string formatAlertText(const std::string& format, const std::vector<std::string>& values);

}  // namespace dvk
