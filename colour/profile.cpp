#include "colour/profile.h"

#include <cstring>

namespace dvk {

namespace {

// LittleCMS reports problems through a process-wide handler; the caller
// builds its own messages, so the handler stays quiet.
void quiet_handler(cmsContext, cmsUInt32Number, const char*) {}

struct QuietErrors {
    QuietErrors() { cmsSetLogErrorHandler(quiet_handler); }
};
const QuietErrors quiet_errors;

}  // namespace

std::shared_ptr<const Profile> Profile::from_bytes(const void* data, std::size_t size, std::string* error) {
    if (!data || size < 132 || size > 0x7FFFFFFFu) {
        if (error) *error = "not an ICC profile (too short)";
        return nullptr;
    }
    std::shared_ptr<Profile> p(new Profile());
    p->bytes_.assign(static_cast<const std::uint8_t*>(data), static_cast<const std::uint8_t*>(data) + size);
    p->handle_ = cmsOpenProfileFromMem(p->bytes_.data(), cmsUInt32Number(size));
    if (!p->handle_) {
        if (error) *error = "LittleCMS cannot open the profile";
        return nullptr;
    }
    p->colour_space_ = cmsGetColorSpace(p->handle_);
    p->pcs_ = cmsGetPCS(p->handle_);
    p->class_ = cmsGetDeviceClass(p->handle_);
    return p;
}

std::shared_ptr<const Profile> Profile::adopt(cmsHPROFILE handle) {
    if (!handle) return nullptr;
    std::shared_ptr<Profile> p(new Profile());
    p->handle_ = handle;
    cmsUInt32Number n = 0;
    if (cmsSaveProfileToMem(handle, nullptr, &n) && n > 0) {
        p->bytes_.resize(n);
        if (!cmsSaveProfileToMem(handle, p->bytes_.data(), &n)) p->bytes_.clear();
    }
    p->colour_space_ = cmsGetColorSpace(handle);
    p->pcs_ = cmsGetPCS(handle);
    p->class_ = cmsGetDeviceClass(handle);
    return p;
}

Profile::~Profile() {
    if (handle_) cmsCloseProfile(handle_);
}

std::string Profile::description() const {
    std::lock_guard<std::mutex> g(mutex_);
    char buf[512] = {0};
    cmsGetProfileInfoASCII(handle_, cmsInfoDescription, "en", "US", buf, sizeof buf);
    return buf;
}

}  // namespace dvk
