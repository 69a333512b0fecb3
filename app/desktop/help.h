// The Help menu's feedback mail and manual, opened through the URL opener
// (platform/url_opener.h). The diagnostics archive is in diagnostics.h.
#pragma once

#include <string>

namespace dvk {

class UrlOpener;

// The feedback mailbox the program was built with (the CMake cache value
// DVK_FEEDBACK_ADDRESS; may be empty).
std::string feedbackAddress();
// "mailto:" + address + "?subject=DVK%20Feedback".
std::string feedbackUrl(const std::string& address);
// feedback: opens the feedback URL; logs "Feedback %i" with the result.
bool feedback(UrlOpener& opener, const std::string& address = feedbackAddress());

// The manual in the resources folder: "DVK User Manual.pdf".
std::string manualPath();
// openManual: opens `manual` when the sender's title is "Manual"; false when
// it did not (another title, or the opener failed).
bool openManual(UrlOpener& opener, const std::string& senderTitle, const std::string& manual = manualPath());

// copyCrashLog: the Help menu's item has nothing to do; the diagnostics
// archive (archiveCrashLogs) carries the crash reports.

}  // namespace dvk
