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

bool feedback(UrlOpener& opener, const std::string& address, const AlertFunction& alert) {
    const bool opened = opener.openUrl(feedbackUrl(address));
    log_line("Feedback %i", opened ? 1 : 0);
    if (!opened && alert) {
        const std::string text =
            address.empty()
                ? std::string("No mail program could be started. This copy of DVK names no feedback address: please "
                              "write to the authors where you got DVK, with the subject \"DVK Feedback\".")
                : formatAlertText("No mail program could be started. Please write to %@ with the subject "
                                  "\"DVK Feedback\".",
                                  {address});
        alert("Feedback", text, {"Ok"});
    }
    return opened;
}

std::string manualPath() { return resource_file("DVK User Manual.pdf"); }

bool openManual(UrlOpener& opener, const std::string& senderTitle, const std::string& manual,
                const AlertFunction& alert) {
    if (senderTitle != "Manual") return false;
    if (opener.openUrl(fileUrlForPath(manual))) return true;
    if (alert)
        alert("Manual",
              formatAlertText("No program to show the manual could be started. The manual is the PDF file %@.",
                              {manual}),
              {"Ok"});
    return false;
}

}  // namespace dvk
