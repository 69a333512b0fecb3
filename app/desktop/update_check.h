// The update check at launch: one https request for "/dvk_updates_64.xml" on
// the host (and port) of the "SUFeedURL" user default, with that address's
// query unchanged. Sent only when "SUCheckAtStartup" is on; the answer is
// not used, a failure is logged.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace dvk {

class UserDefaults;

inline constexpr const char* kUpdateFeedPath = "/dvk_updates_64.xml";

// The request's address for a feed address: "https://" host [":" port]
// "/dvk_updates_64.xml" ["?" query]. nullopt when the address has no host.
std::optional<std::string> updateCheckURL(const std::string& feedURL);
// The request to send now: nullopt when the check is off or "SUFeedURL"
// gives no host.
std::optional<std::string> updateCheckRequest(const UserDefaults& defaults);

// Sends a request (off the main thread) and reads the answer; nullopt on
// success, else the error's text. `stopRequested` answers true when the
// program is quitting: the request then gives up at once.
using UpdateRequester =
    std::function<std::optional<std::string>(const std::string& url, const std::function<bool()>& stopRequested)>;

}  // namespace dvk
