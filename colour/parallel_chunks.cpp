#include "colour/parallel_chunks.h"

#include <algorithm>
#include <atomic>
#include <climits>

#include "pipeline/band_runner.h"
#include "pipeline/dvklib.h"

namespace dvk {

namespace {
std::atomic<int> active_runs{0};
}

void run_in_chunks(std::size_t count, std::size_t min_chunk,
                   const std::function<void(std::size_t begin, std::size_t end)>& work) {
    if (count == 0) return;
    // Conversions already running (band workers of a legacy run) share the
    // threads rather than multiply them.
    const int others = active_runs.fetch_add(1);
    int threads = std::max(1, band_thread_count / (others + 1));
    const std::size_t most = (count + std::max<std::size_t>(min_chunk, 1) - 1) / std::max<std::size_t>(min_chunk, 1);
    threads = int(std::min<std::size_t>(std::size_t(threads), most));
    // The band runner counts in unsigned rows: hand it blocks of pixels.
    const std::size_t block = count > UINT_MAX ? (count + UINT_MAX - 1) / UINT_MAX : 1;
    const unsigned blocks = unsigned((count + block - 1) / block);
    if (threads <= 1) {
        work(0, count);
    } else {
        run_row_chunks(blocks, threads, [&](unsigned first, unsigned n) {
            const std::size_t b = std::size_t(first) * block;
            const std::size_t e = std::min(count, (std::size_t(first) + n) * block);
            if (b < e) work(b, e);
        });
    }
    active_runs.fetch_sub(1);
}

}  // namespace dvk
