// The update check's request over the network: an HTTPS GET of the address,
// its answer read and dropped. Blocking, for a worker thread; it gives up
// after 20 seconds, or at once when asked to stop.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace dvk {

// nullopt when an answer came; else the error's text.
std::optional<std::string> requestUpdateFeed(const std::string& url, const std::function<bool()>& stopRequested);

}  // namespace dvk
