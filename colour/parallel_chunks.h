// Runs a pixel loop in contiguous chunks on band_thread_count threads of the
// band runner (fewer when other conversions are already running, or the work
// is small). `work` is called for consecutive ranges of at least `min_chunk`
// items (the last may be shorter), several per thread as the threads come
// free, and never twice for an item.
#pragma once

#include <cstddef>
#include <functional>

namespace dvk {

void run_in_chunks(std::size_t count, std::size_t min_chunk,
                   const std::function<void(std::size_t begin, std::size_t end)>& work);

}  // namespace dvk
