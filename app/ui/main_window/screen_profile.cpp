#include "app/ui/main_window/screen_profile.h"

#include <cstdlib>

#include <QtGui/QGuiApplication>

#if defined(DVK_HAVE_XCB)
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>
#endif

namespace dvk {

std::vector<std::uint8_t> screenIccProfile() {
    std::vector<std::uint8_t> bytes;
#if defined(DVK_HAVE_XCB) && QT_CONFIG(xcb)
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c) return bytes;
    const char name[] = "_ICC_PROFILE";
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, sizeof name - 1, name), nullptr);
    if (!atom) return bytes;
    const xcb_atom_t property = atom->atom;
    std::free(atom);
    if (property == XCB_ATOM_NONE) return bytes;
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    if (!screen) return bytes;
    // Profiles are far below 16 MiB (the length is in 32-bit units).
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, screen->root, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 4u << 20), nullptr);
    if (!reply) return bytes;
    const int length = xcb_get_property_value_length(reply);
    if (reply->format == 8 && length > 128) {
        const auto* p = static_cast<const std::uint8_t*>(xcb_get_property_value(reply));
        bytes.assign(p, p + length);
    }
    std::free(reply);
#endif
    return bytes;
}

}  // namespace dvk
