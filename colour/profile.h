// Profile: one colour profile, opened in LittleCMS, with the ICC bytes it was
// made from. Profiles are shared (std::shared_ptr<const Profile>): a conversion
// holds its profiles for as long as it runs, whatever caches drop them.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <lcms2.h>

namespace dvk {

class Profile {
public:
    // Opens ICC bytes (copied); null and a reason in *error when LittleCMS
    // refuses them.
    static std::shared_ptr<const Profile> from_bytes(const void* data, std::size_t size, std::string* error = nullptr);
    // Wraps a profile made in memory by LittleCMS (taking ownership); the
    // bytes are those LittleCMS saves for it.
    static std::shared_ptr<const Profile> adopt(cmsHPROFILE handle);

    ~Profile();
    Profile(const Profile&) = delete;
    Profile& operator=(const Profile&) = delete;

    // LittleCMS reads tags lazily, so a handle is used only under lock().
    cmsHPROFILE handle() const { return handle_; }
    std::mutex& lock() const { return mutex_; }
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }
    std::uint32_t colour_space() const { return colour_space_; }
    std::uint32_t connection_space() const { return pcs_; }
    std::uint32_t device_class() const { return class_; }
    std::string description() const;

private:
    Profile() = default;
    cmsHPROFILE handle_ = nullptr;
    std::vector<std::uint8_t> bytes_;
    std::uint32_t colour_space_ = 0, pcs_ = 0, class_ = 0;
    mutable std::mutex mutex_;
};

}  // namespace dvk
