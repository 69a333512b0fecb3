// The desktop's URL opener (QDesktopServices: xdg-open and the desktop's
// chosen applications), which the program installs with set_url_opener().
#pragma once

#include "platform/url_opener.h"

namespace dvk {

class DesktopUrlOpener : public UrlOpener {
public:
    bool openUrl(const std::string& url) override;
};

}  // namespace dvk
