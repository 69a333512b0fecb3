#include "app/common/alert_function.h"

#include "platform/alert.h"

namespace dvk {

AlertFunction programAlert() {
    return [](const std::string& title, const std::string& text, const std::vector<std::string>& buttons) {
        return showAlert(title, text, buttons);
    };
}

std::string formatAlertText(const std::string& format, const std::vector<std::string>& values) {
    std::string out;
    std::size_t next = 0, pos = 0;
    while (pos < format.size()) {
        std::size_t at = format.find("%@", pos);
        if (at == std::string::npos || next >= values.size()) {
            out.append(format, pos, std::string::npos);
            break;
        }
        out.append(format, pos, at - pos);
        out += values[next++];
        pos = at + 2;
    }
    return out;
}

}  // namespace dvk
