#include "colour/parallel_chunks.h"

#include <algorithm>
#include <atomic>

#include "core/band_runner.h"
#include "core/dvklib.h"

namespace dvk {

namespace {
std::atomic<int> active_runs{0};
}

void run_in_chunks(std::size_t count, std::size_t min_chunk,
                   const std::function<void(std::size_t begin, std::size_t end)>& work) {
    if (count == 0) return;
    min_chunk = std::max<std::size_t>(min_chunk, 1);
    // Conversions already running (band workers of a legacy run) share the
    // threads rather than multiply them.
    const int others = active_runs.fetch_add(1);
    int threads = std::max(1, band_thread_count / (others + 1));
    const std::size_t most = (count + min_chunk - 1) / min_chunk;
    threads = int(std::min<std::size_t>(std::size_t(threads), most));
    if (threads <= 1) {
        work(0, count);
    } else {
        // Each thread takes the next piece until none is left: a thread
        // slowed down (by a busy processor, or by pixels that take the exact
        // transform) does fewer pieces instead of holding the others up.
        // Eight pieces a thread keep the hand-outs few.
        const std::size_t pieces = std::size_t(threads) * 8;
        const std::size_t piece = std::max(min_chunk, (count + pieces - 1) / pieces);
        std::atomic<std::size_t> next{0};
        run_row_chunks(unsigned(threads), threads, [&](unsigned, unsigned) {
            for (;;) {
                const std::size_t b = next.fetch_add(piece, std::memory_order_relaxed);
                if (b >= count) break;
                work(b, std::min(count, b + piece));
            }
        });
    }
    active_runs.fetch_sub(1);
}

}  // namespace dvk
