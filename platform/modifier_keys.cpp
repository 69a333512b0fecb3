#include "platform/modifier_keys.h"

#include <mutex>

namespace dvk {

namespace {

std::mutex g_mutex;
std::function<unsigned()> g_query;

}  // namespace

unsigned currentModifierFlags() {
    std::function<unsigned()> query;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        query = g_query;
    }
    return query ? query() : 0u;
}

std::function<unsigned()> setModifierFlagsQuery(std::function<unsigned()> query) {
    std::lock_guard<std::mutex> lock(g_mutex);
    std::swap(g_query, query);
    return query;
}

ScopedModifierFlags::ScopedModifierFlags(unsigned flags)
    : previous_(setModifierFlagsQuery([flags] { return flags; })) {}

ScopedModifierFlags::~ScopedModifierFlags() { setModifierFlagsQuery(std::move(previous_)); }

}  // namespace dvk
