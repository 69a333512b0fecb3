#include "colour/colour_transform.h"

#include <algorithm>
#include <list>
#include <tuple>
#include <vector>

#include "colour/parallel_chunks.h"
#include "colour/profile.h"
#include "colour/profile_lookup.h"

namespace dvk {

namespace {

constexpr std::size_t kChunkPixels = 16384;
// Pixels converted at a time within a chunk (48 KB of floats), with the
// steps before and after.
constexpr std::size_t kStepBlock = 4096;
constexpr std::size_t kCacheSize = 16;  // each holds a 3.3 MB table once used

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

ColourTransform::ColourTransform(cmsHTRANSFORM t, PixelKind in, PixelKind out, int src_intent, int dst_intent,
                                 std::shared_ptr<const Profile> src, std::shared_ptr<const Profile> dst)
    : transform_(t), in_(in), out_(out), src_intent_(src_intent), dst_intent_(dst_intent), src_(std::move(src)),
      dst_(std::move(dst)) {}

ColourTransform::~ColourTransform() { cmsDeleteTransform(transform_); }

void ColourTransform::convert_exact(float* px, std::size_t n) const {
    while (n > 0) {
        const std::size_t m = std::min<std::size_t>(n, 1u << 20);
        cmsDoTransform(transform_, px, px, cmsUInt32Number(m));
        px += 3 * m;
        n -= m;
    }
}

void ColourTransform::convert_exact_parallel(float* px, std::size_t n, PixelStep after, PixelStep before) const {
    run_in_chunks(n, kChunkPixels,
                  [&](std::size_t b, std::size_t e) { convert_part(px + 3 * b, e - b, false, after, before); });
}

namespace {

// A copy of the matrix/TRC profile `p` with linear tone curves, whose float
// transforms neither clip nor bend: the lookup table holds its values and the
// real tone curves follow. Null when `p` is not such a profile.
cmsHPROFILE linear_copy(cmsHPROFILE p) {
    if (cmsGetColorSpace(p) != cmsSigRgbData || !cmsIsMatrixShaper(p) ||
        cmsIsCLUT(p, INTENT_PERCEPTUAL, LCMS_USED_AS_OUTPUT))
        return nullptr;
    cmsHPROFILE lin = cmsCreateProfilePlaceholder(nullptr);
    if (!lin) return nullptr;
    cmsSetProfileVersion(lin, cmsGetProfileVersion(p));
    cmsSetDeviceClass(lin, cmsGetDeviceClass(p));
    cmsSetColorSpace(lin, cmsSigRgbData);
    cmsSetPCS(lin, cmsSigXYZData);
    bool ok = true;
    const cmsTagSignature copied[] = {cmsSigRedColorantTag, cmsSigGreenColorantTag, cmsSigBlueColorantTag,
                                      cmsSigMediaWhitePointTag, cmsSigChromaticAdaptationTag};
    for (cmsTagSignature t : copied)
        if (void* data = cmsReadTag(p, t)) ok = ok && cmsWriteTag(lin, t, data);
    cmsToneCurve* one = cmsBuildGamma(nullptr, 1.0);
    ok = ok && one && cmsWriteTag(lin, cmsSigRedTRCTag, one) && cmsWriteTag(lin, cmsSigGreenTRCTag, one) &&
         cmsWriteTag(lin, cmsSigBlueTRCTag, one);
    if (one) cmsFreeToneCurve(one);
    if (!ok) {
        cmsCloseProfile(lin);
        return nullptr;
    }
    return lin;
}

}  // namespace

void ColourTransform::prepare() const {
    build_fast_form();
    prepared_.store(true, std::memory_order_release);
}

void ColourTransform::prepare_ahead() const { build_fast_form(); }

void ColourTransform::build_fast_form() const {
    std::call_once(prepare_once_, [this] {
        const auto exact = [this](float* p, std::size_t n) { convert_exact(p, n); };
        // The Lab side of a split form is the transform between the Lab
        // table profile and CIELab that conversions also run on its own
        // (UPLab to Lab): one cached table serves both. It is made before
        // this transform's profiles are locked, as it locks one of them.
        // With plain CIELab on the Lab side there is nothing to table.
        const bool lab_identity =
            in_ != out_ && (in_ == PixelKind::Lab ? src_ : dst_) == getDVKProfileRef("Lab", nullptr);
        std::shared_ptr<const ColourTransform> side = in_ != out_ && !lab_identity ? lab_side() : nullptr;
        cmsHTRANSFORM linear = nullptr;
        cmsToneCurve* encode_curves[3] = {nullptr, nullptr, nullptr};
        std::unique_lock<std::mutex> a(src_->lock(), std::defer_lock), b(dst_->lock(), std::defer_lock);
        if (src_.get() == dst_.get())
            a.lock();
        else
            std::lock(a, b);
        if (in_ != out_) {
            use_split_ = split_.build(src_->handle(), src_intent_, dst_->handle(), dst_intent_, in_ == PixelKind::Lab,
                                      exact, side ? side->table() : nullptr, lab_identity);
            if (use_split_) {
                side_ = std::move(side);
                return;
            }
        }
        if (out_ == PixelKind::Rgb) {
            if (cmsHPROFILE lin = linear_copy(dst_->handle())) {
                cmsHPROFILE profiles[2] = {src_->handle(), lin};
                cmsBool bpc[2] = {FALSE, FALSE};
                cmsUInt32Number intents[2] = {cmsUInt32Number(src_intent_), cmsUInt32Number(dst_intent_)};
                cmsFloat64Number adaptation[2] = {1.0, 1.0};
                linear = cmsCreateExtendedTransform(nullptr, 2, profiles, bpc, intents, adaptation, nullptr, 0,
                                                    format_of(in_), TYPE_RGB_FLT, cmsFLAGS_NOCACHE);
                cmsCloseProfile(lin);
                const cmsTagSignature trc[3] = {cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag};
                for (int c = 0; c < 3; ++c) {
                    auto* curve = static_cast<cmsToneCurve*>(cmsReadTag(dst_->handle(), trc[c]));
                    encode_curves[c] = curve ? cmsReverseToneCurve(curve) : nullptr;
                }
            }
        }
        const bool split = linear && encode_curves[0] && encode_curves[1] && encode_curves[2];
        if (split) {
            lut_.build(in_ == PixelKind::Lab, true, exact,
                       [linear](float* p, std::size_t n) { cmsDoTransform(linear, p, p, cmsUInt32Number(n)); },
                       [&encode_curves](int c, float v) { return cmsEvalToneCurveFloat(encode_curves[c], v); });
        } else {
            lut_.build(in_ == PixelKind::Lab, out_ == PixelKind::Rgb, exact);
        }
        if (linear) cmsDeleteTransform(linear);
        for (cmsToneCurve* c : encode_curves)
            if (c) cmsFreeToneCurve(c);
    });
}

std::shared_ptr<const ColourTransform> ColourTransform::lab_side() const {
    {
        std::unique_lock<std::mutex> a(src_->lock(), std::defer_lock), b(dst_->lock(), std::defer_lock);
        if (src_.get() == dst_.get())
            a.lock();
        else
            std::lock(a, b);
        if (!SplitTransform::applies(src_->handle(), src_intent_, dst_->handle(), dst_intent_, in_ == PixelKind::Lab))
            return nullptr;
    }
    std::shared_ptr<const Profile> lab = getDVKProfileRef("Lab", nullptr);
    if (!lab) return nullptr;
    std::string error;
    std::shared_ptr<const ColourTransform> side =
        in_ == PixelKind::Lab
            ? get_colour_transform(src_, src_intent_, lab, src_intent_, PixelKind::Lab, PixelKind::Lab, &error)
            : get_colour_transform(lab, dst_intent_, dst_, dst_intent_, PixelKind::Lab, PixelKind::Lab, &error);
    if (side && side.get() != this) side->prepare();
    return side && side.get() != this && side->table() ? side : nullptr;
}

const Lut3D* ColourTransform::table() const {
    prepare();
    return use_split_ ? nullptr : &lut_;
}

bool ColourTransform::split() const {
    prepare();
    return use_split_;
}

double ColourTransform::exact_cell_share() const {
    prepare();
    return use_split_ ? split_.exact_cell_share() : lut_.exact_cell_share();
}

bool ColourTransform::choose_fast_form(std::size_t n) const {
    // Building the table costs about as much as converting 300000 pixels
    // exactly (its 274625 nodes and the probes of its bent cells): until
    // that many have been asked for, pixels take the exact transform.
    constexpr std::size_t kWorthATable = 300000;
    if (!prepared_.load(std::memory_order_acquire) && exact_pixels_.fetch_add(n) + n < kWorthATable) return false;
    prepare();
    return true;
}

void ColourTransform::convert_part(float* px, std::size_t n, bool fast, PixelStep after, PixelStep before) const {
    // Pixels the table leaves to the exact transform are gathered and
    // converted in one call per block (the lists are the thread's own, kept
    // for its next call: parts may be single rows).
    thread_local std::vector<std::size_t> misses;
    thread_local std::vector<float> gathered;
    if (fast) misses.reserve(kStepBlock);
    for (std::size_t start = 0; start < n; start += kStepBlock) {
        const std::size_t count = std::min(kStepBlock, n - start);
        float* block = px + 3 * start;
        if (before) before(block, count);
        if (!fast) {
            convert_exact(block, count);
        } else {
            misses.clear();
            if (use_split_)
                split_.apply(block, count, misses);
            else
                lut_.apply(block, count, misses);
            if (!misses.empty()) {
                gathered.resize(misses.size() * 3);
                for (std::size_t m = 0; m < misses.size(); ++m)
                    std::copy(block + 3 * misses[m], block + 3 * misses[m] + 3, &gathered[3 * m]);
                convert_exact(gathered.data(), misses.size());
                for (std::size_t m = 0; m < misses.size(); ++m)
                    std::copy(&gathered[3 * m], &gathered[3 * m] + 3, block + 3 * misses[m]);
            }
        }
        if (after) after(block, count);
    }
}

void ColourTransform::convert_exact_counted(float* px, std::size_t n, PixelStep after, PixelStep before) const {
    if (!prepared_.load(std::memory_order_acquire)) exact_pixels_.fetch_add(n);
    convert_exact_parallel(px, n, after, before);
}

void ColourTransform::convert(float* px, std::size_t n, PixelStep after, PixelStep before) const {
    if (!choose_fast_form(n)) {
        convert_exact_parallel(px, n, after, before);
        return;
    }
    run_in_chunks(n, kChunkPixels,
                  [&](std::size_t b, std::size_t e) { convert_part(px + 3 * b, e - b, true, after, before); });
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
        std::unique_lock<std::mutex> a(src->lock(), std::defer_lock), b(dst->lock(), std::defer_lock);
        if (src.get() == dst.get())
            a.lock();
        else
            std::lock(a, b);
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
    auto ct = std::make_shared<const ColourTransform>(t, in, out, src_intent, dst_intent, src, dst);
    cache.emplace_front(key, ct);
    if (cache.size() > kCacheSize) cache.pop_back();
    return ct;
}

}  // namespace dvk
