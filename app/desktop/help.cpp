#include "app/desktop/help.h"

#include "platform/log.h"
#include "platform/resource_path.h"
#include "platform/url_opener.h"

#ifndef DVK_FEEDBACK_ADDRESS
#define DVK_FEEDBACK_ADDRESS ""
#endif

namespace dvk {

std::string feedbackAddress() { return DVK_FEEDBACK_ADDRESS; }

std::string feedbackUrl(const std::string& address) { return "mailto:" + address + "?subject=DVK%20Feedback"; }

bool feedback(UrlOpener& opener, const std::string& address) {
    const bool opened = opener.openUrl(feedbackUrl(address));
    log_line("Feedback %i", opened ? 1 : 0);
    return opened;
}

std::string manualPath() { return resource_file("DVK User Manual.pdf"); }

bool openManual(UrlOpener& opener, const std::string& senderTitle, const std::string& manual) {
    if (senderTitle != "Manual") return false;
    return opener.openUrl(fileUrlForPath(manual));
}

}  // namespace dvk
