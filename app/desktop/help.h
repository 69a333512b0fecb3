// The Help menu's feedback mail and manual, opened through the URL opener
// (platform/url_opener.h); an alert says what to do when nothing opens them.
// The diagnostics archive is in diagnostics.h.
#pragma once

#include <string>

#include "app/common/alert_function.h"

namespace dvk {

class UrlOpener;

// The feedback mailbox the program was built with (the CMake cache value
// DVK_FEEDBACK_ADDRESS; may be empty).
std::string feedbackAddress();
// "mailto:" + address + "?subject=DVK%20Feedback".
std::string feedbackUrl(const std::string& address);
// feedback: opens the feedback URL; logs "Feedback 1" when it was handed to
// the desktop, "Feedback 0" when nothing could open it (no launcher on the
// system, or the desktop's opener failed, which may be known only later):
// then `alert` (when given; on the main queue) tells the user where to write.
bool feedback(UrlOpener& opener, const std::string& address = feedbackAddress(), const AlertFunction& alert = {});

// The manual in the resources folder: "DVK User Manual.pdf".
std::string manualPath();
// openManual: opens `manual` when the sender's title is "Manual"; false when
// it did not (another title, or nothing could take it). When nothing could
// open it (no launcher, or the desktop's opener failed, which may be known
// only later), `alert` (when given; on the main queue) tells the user where
// the manual is.
bool openManual(UrlOpener& opener, const std::string& senderTitle, const std::string& manual = manualPath(),
                const AlertFunction& alert = {});

// copyCrashLog: the Help menu's item has nothing to do; the diagnostics
// archive (archiveCrashLogs) carries the crash reports.

}  // namespace dvk
