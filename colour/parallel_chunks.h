// Runs a pixel loop in contiguous chunks on band_thread_count threads of the
// band runner (fewer when other conversions are already running, or the work
// is small).
#pragma once

#include <cstddef>
#include <functional>

namespace dvk {

void run_in_chunks(std::size_t count, std::size_t min_chunk,
                   const std::function<void(std::size_t begin, std::size_t end)>& work);

}  // namespace dvk
