#include "app/desktop/help.h"

#include "platform/dispatch.h"
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
    // Told at once when nothing takes the mail, or later, when the desktop's
    // opener ends with a failure.
    const auto failed = [address, alert](const std::string&) {
        log_line("Feedback 0");
        if (!alert) return;
        const std::string text =
            address.empty()
                ? std::string("No mail program could be started. This copy of DVK names no feedback address: please "
                              "write to the authors where you got DVK, with the subject \"DVK Feedback\".")
                : formatAlertText("No mail program could be started. Please write to %@ with the subject "
                                  "\"DVK Feedback\".",
                                  {address});
        runOnMainQueue([alert, text] { alert("Feedback", text, {"Ok"}); });
    };
    const bool handedOver = opener.openUrl(feedbackUrl(address), failed);
    if (handedOver) log_line("Feedback 1");
    return handedOver;
}

std::string manualPath() { return resource_file("DVK User Manual.pdf"); }

bool openManual(UrlOpener& opener, const std::string& senderTitle, const std::string& manual,
                const AlertFunction& alert) {
    if (senderTitle != "Manual") return false;
    return opener.openUrl(fileUrlForPath(manual), [manual, alert](const std::string&) {
        if (!alert) return;
        const std::string text = formatAlertText(
            "No program to show the manual could be started. The manual is the PDF file %@.", {manual});
        runOnMainQueue([alert, text] { alert("Manual", text, {"Ok"}); });
    });
}

}  // namespace dvk
