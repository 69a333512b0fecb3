#include "colour/parallel_chunks.h"

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include "pipeline/dvklib.h"

namespace dvk {

namespace {
std::atomic<int> active_runs{0};
}

void run_in_chunks(std::size_t count, std::size_t min_chunk,
                   const std::function<void(std::size_t begin, std::size_t end)>& work) {
    if (count == 0) return;
    const int others = active_runs.fetch_add(1);
    int threads = std::max(1, band_thread_count) / (others + 1);
    threads = int(std::min<std::size_t>(std::size_t(std::max(1, threads)), (count + min_chunk - 1) / std::max<std::size_t>(min_chunk, 1)));
    if (threads <= 1) {
        work(0, count);
    } else {
        std::vector<std::thread> pool;
        pool.reserve(std::size_t(threads - 1));
        const std::size_t per = (count + std::size_t(threads) - 1) / std::size_t(threads);
        for (int t = 1; t < threads; ++t) {
            std::size_t b = std::size_t(t) * per, e = std::min(count, b + per);
            if (b < e) pool.emplace_back([&work, b, e] { work(b, e); });
        }
        work(0, std::min(count, per));
        for (auto& th : pool) th.join();
    }
    active_runs.fetch_sub(1);
}

}  // namespace dvk
