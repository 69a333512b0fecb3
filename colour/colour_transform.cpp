#include "colour/colour_transform.h"

#include <algorithm>
#include <list>
#include <tuple>
#include <vector>

#include "colour/parallel_chunks.h"
#include "colour/profile.h"

namespace dvk {

namespace {

constexpr std::size_t kChunkPixels = 16384;
constexpr std::size_t kCacheSize = 24;

struct CacheKey {
    const Profile* src;
    const Profile* dst;
    int src_intent, dst_intent;
    PixelKind in, out;
    bool operator==(const CacheKey& o) const {
        return std::tie(src, dst, src_intent, dst_intent, in, out) ==
               std::tie(o.src, o.dst, o.src_intent, o.dst_intent, o.in, o.out);
    }
};

std::mutex cache_lock;
// Most recently used first; an entry keeps its two profiles alive.
std::list<std::pair<CacheKey, std::shared_ptr<const ColourTransform>>> cache;

cmsUInt32Number format_of(PixelKind k) { return k == PixelKind::Lab ? TYPE_Lab_FLT : TYPE_RGB_FLT; }

}  // namespace

ColourTransform::ColourTransform(cmsHTRANSFORM t, PixelKind in, PixelKind out, std::shared_ptr<const Profile> src,
                                 std::shared_ptr<const Profile> dst)
    : transform_(t), in_(in), out_(out), src_(std::move(src)), dst_(std::move(dst)) {}

ColourTransform::~ColourTransform() { cmsDeleteTransform(transform_); }

void ColourTransform::convert_exact(float* px, std::size_t n) const {
    while (n > 0) {
        const std::size_t m = std::min<std::size_t>(n, 1u << 20);
        cmsDoTransform(transform_, px, px, cmsUInt32Number(m));
        px += 3 * m;
        n -= m;
    }
}

void ColourTransform::convert_exact_parallel(float* px, std::size_t n) const {
    run_in_chunks(n, kChunkPixels, [&](std::size_t b, std::size_t e) { convert_exact(px + 3 * b, e - b); });
}

const Lut3D& ColourTransform::lut() const {
    std::call_once(lut_once_, [this] {
        lut_.build(in_ == PixelKind::Lab, out_ == PixelKind::Rgb,
                   [this](float* p, std::size_t n) { convert_exact(p, n); });
    });
    return lut_;
}

void ColourTransform::convert(float* px, std::size_t n) const {
    const Lut3D& table = lut();
    run_in_chunks(n, kChunkPixels, [&](std::size_t b, std::size_t e) {
        // Pixels the table leaves to the exact transform are gathered and
        // converted in one call per block.
        constexpr std::size_t kBlock = 4096;
        std::vector<std::size_t> misses;
        std::vector<float> gathered;
        misses.reserve(kBlock);
        for (std::size_t start = b; start < e; start += kBlock) {
            const std::size_t count = std::min(kBlock, e - start);
            float* block = px + 3 * start;
            misses.clear();
            table.apply(block, count, misses);
            if (misses.empty()) continue;
            gathered.resize(misses.size() * 3);
            for (std::size_t m = 0; m < misses.size(); ++m)
                std::copy(block + 3 * misses[m], block + 3 * misses[m] + 3, &gathered[3 * m]);
            convert_exact(gathered.data(), misses.size());
            for (std::size_t m = 0; m < misses.size(); ++m)
                std::copy(&gathered[3 * m], &gathered[3 * m] + 3, block + 3 * misses[m]);
        }
    });
}

std::shared_ptr<const ColourTransform> get_colour_transform(const std::shared_ptr<const Profile>& src, int src_intent,
                                                            const std::shared_ptr<const Profile>& dst, int dst_intent,
                                                            PixelKind in, PixelKind out, std::string* error) {
    if (!src || !dst) {
        if (error) *error = "missing profile";
        return nullptr;
    }
    const CacheKey key{src.get(), dst.get(), src_intent, dst_intent, in, out};
    std::lock_guard<std::mutex> guard(cache_lock);
    for (auto it = cache.begin(); it != cache.end(); ++it)
        if (it->first == key) {
            cache.splice(cache.begin(), cache, it);
            return cache.front().second;
        }
    cmsHTRANSFORM t = nullptr;
    {
        // LittleCMS reads profile tags lazily: one thread at a time per profile.
        std::unique_lock<std::mutex> a(src->lock());
        std::unique_lock<std::mutex> b;
        if (dst.get() != src.get()) b = std::unique_lock<std::mutex>(dst->lock());
        cmsHPROFILE profiles[2] = {src->handle(), dst->handle()};
        cmsBool bpc[2] = {FALSE, FALSE};
        cmsUInt32Number intents[2] = {cmsUInt32Number(src_intent), cmsUInt32Number(dst_intent)};
        cmsFloat64Number adaptation[2] = {1.0, 1.0};
        t = cmsCreateExtendedTransform(nullptr, 2, profiles, bpc, intents, adaptation, nullptr, 0, format_of(in),
                                       format_of(out), cmsFLAGS_NOCACHE);
    }
    if (!t) {
        if (error) *error = "LittleCMS cannot link the two profiles";
        return nullptr;
    }
    auto ct = std::make_shared<const ColourTransform>(t, in, out, src, dst);
    cache.emplace_front(key, ct);
    if (cache.size() > kCacheSize) cache.pop_back();
    return ct;
}

}  // namespace dvk
