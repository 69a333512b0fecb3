// dvk-demosaic-quality: mosaics photographs into RGGB and BGGR, demosaics them
// with every method, and prints the colour PSNR against the original (10-pixel
// border excluded) in two domains: the stored (sRGB-encoded) values taken as
// raw data, and linear light. The same mosaics, written as DNG, go through
// LibRaw's dcraw_emu for comparison in the same run.
//
//   dvk-demosaic-quality [--dcraw-emu PATH] [--keep DIR] PHOTO...
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "image_io.h"
#include "pipeline/demosaic/demosaic.h"
#include "core/dvklib.h"

namespace fs = std::filesystem;
using namespace dvk;
using namespace dvk::quality;

namespace {

constexpr unsigned kBorder = 10;

struct Pattern {
    const char* name;
    unsigned filters;
    unsigned char cfa[4];
};
const Pattern kPatterns[] = {{"RGGB", 0x94949494u, {0, 1, 1, 2}}, {"BGGR", 0x16161616u, {2, 1, 1, 0}}};

struct DvkMethod {
    const char* name;
    void (*run)(DVKLib*, float*, unsigned, unsigned);
};
void run_ahd(DVKLib* d, float* b, unsigned w, unsigned h) {
    border_interpolate(d, 6, b, w, h);
    ahd_interpolate(d, b, w, h);
}
void run_vcd(DVKLib* d, float* b, unsigned w, unsigned h) {
    border_interpolate(d, 8, b, w, h);
    vcd_interpolate(d, b, w, h, 2.0f);
}
void run_lmmse(DVKLib* d, float* b, unsigned w, unsigned h) { lmmse_interpolate(d, b, w, h); }
const DvkMethod kDvkMethods[] = {
    {"DVK bilinear", vng_prepare}, {"DVK AHD", run_ahd}, {"DVK VCD", run_vcd},
    {"DVK VNG", vng_interpolate},  {"DVK LMMSE", run_lmmse},
};

struct LibRawMethod {
    const char* name;
    int quality;
};
const LibRawMethod kLibRawMethods[] = {{"LibRaw linear", 0}, {"LibRaw VNG", 1}, {"LibRaw PPG", 2},
                                       {"LibRaw AHD", 3},    {"LibRaw DCB", 4}, {"LibRaw DHT", 11},
                                       {"LibRaw AAHD", 12}};

float srgb_to_linear(float v) { return v <= 0.04045f ? v / 12.92f : std::pow((v + 0.055f) / 1.055f, 2.4f); }

double psnr(const std::vector<float>& got, unsigned stride, const RgbImage& ref) {
    double se = 0;
    std::size_t n = 0;
    for (unsigned y = kBorder; y + kBorder < ref.height; ++y)
        for (unsigned x = kBorder; x + kBorder < ref.width; ++x)
            for (int c = 0; c < 3; ++c) {
                const double d = double(got[(std::size_t(y) * ref.width + x) * stride + c]) -
                                 ref.pixels[(std::size_t(y) * ref.width + x) * 3 + c];
                se += d * d;
                ++n;
            }
    const double mse = se / double(n);
    return mse > 0 ? 10 * std::log10(1.0 / mse) : 99.0;
}

// Mean PSNR per (domain, method) over every image and pattern.
std::map<std::string, std::map<std::string, std::vector<double>>> results;
std::vector<std::string> method_order;

void record(const std::string& domain, const std::string& method, double value) {
    if (std::find(method_order.begin(), method_order.end(), method) == method_order.end())
        method_order.push_back(method);
    results[domain][method].push_back(value);
}

}  // namespace

int main(int argc, char** argv) {
    std::string dcraw_emu = "dcraw_emu";
    std::string keep;
    std::vector<std::string> photos;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--dcraw-emu" && i + 1 < argc)
            dcraw_emu = argv[++i];
        else if (a == "--keep" && i + 1 < argc)
            keep = argv[++i];
        else
            photos.push_back(a);
    }
    if (photos.empty()) {
        std::fprintf(stderr, "usage: %s [--dcraw-emu PATH] [--keep DIR] PHOTO...\n", argv[0]);
        return 2;
    }
    const fs::path work = keep.empty() ? fs::temp_directory_path() / ("dvk-demosaic-quality-" + std::to_string(getpid()))
                                       : fs::path(keep);
    fs::create_directories(work);
    const bool have_libraw = std::system((dcraw_emu + " -v >/dev/null 2>&1 </dev/null").c_str()) != 127 * 256;

    DVKLib rec;
    dvklib_new(&rec);
    rec.raw().imgdata.idata.colors = 3;
    // LMMSE prints its progress; this report has its own.
    std::FILE* quiet = std::fopen("/dev/null", "w");

    std::printf("%-34s %-5s %-7s", "image", "cfa", "domain");
    bool header_done = false;
    for (const std::string& photo : photos) {
        RgbImage src;
        std::string error;
        if (!read_photo(photo, src, error)) {
            std::fprintf(stderr, "%s: %s\n", photo.c_str(), error.c_str());
            continue;
        }
        // Even sizes keep the pattern's phase at every edge.
        RgbImage img;
        img.width = src.width & ~1u;
        img.height = src.height & ~1u;
        img.pixels.resize(std::size_t(img.width) * img.height * 3);
        for (unsigned y = 0; y < img.height; ++y)
            std::copy_n(&src.pixels[std::size_t(y) * src.width * 3], img.width * 3, &img.pixels[std::size_t(y) * img.width * 3]);

        for (const char* domain : {"sRGB", "linear"}) {
            RgbImage ref = img;
            if (std::string(domain) == "linear")
                for (float& v : ref.pixels) v = srgb_to_linear(v);
            // The 16-bit quantisation the DNG needs is applied to every method alike.
            for (float& v : ref.pixels) v = std::round(v * 65535.0f) / 65535.0f;

            for (const Pattern& pat : kPatterns) {
                rec.raw().imgdata.idata.filters = pat.filters;
                const unsigned w = ref.width, h = ref.height;
                std::vector<float> mosaic(std::size_t(w) * h * 4, 0.0f);
                std::vector<unsigned short> samples(std::size_t(w) * h);
                for (unsigned y = 0; y < h; ++y)
                    for (unsigned x = 0; x < w; ++x) {
                        const int f = rec.raw().fcol(int(y), int(x));
                        const float v = ref.pixels[(std::size_t(y) * w + x) * 3 + f];
                        mosaic[(std::size_t(y) * w + x) * 4 + f] = v;
                        samples[std::size_t(y) * w + x] = (unsigned short)std::lround(v * 65535.0f);
                    }
                std::vector<std::pair<std::string, double>> row;
                for (const DvkMethod& m : kDvkMethods) {
                    std::vector<float> img4 = mosaic;
                    std::FILE* saved = stderr;
                    stderr = quiet;
                    m.run(&rec, img4.data(), w, h);
                    stderr = saved;
                    row.emplace_back(m.name, psnr(img4, 4, ref));
                }
                if (have_libraw) {
                    const fs::path dng = work / (fs::path(photo).stem().string() + "_" + pat.name + "_" + domain + ".dng");
                    if (!write_cfa_dng(dng.string(), w, h, pat.cfa, samples, error)) {
                        std::fprintf(stderr, "%s\n", error.c_str());
                        return 1;
                    }
                    for (const LibRawMethod& m : kLibRawMethods) {
                        const std::string cmd = dcraw_emu + " -4 -o 0 -r 1 1 1 1 -c 0 -q " + std::to_string(m.quality) +
                                                " '" + dng.string() + "' >/dev/null 2>&1";
                        RgbImage out;
                        if (std::system(cmd.c_str()) != 0 || !read_ppm16(dng.string() + ".ppm", out, error) ||
                            out.width != w || out.height != h) {
                            std::fprintf(stderr, "%s failed (%s)\n", cmd.c_str(), error.c_str());
                            continue;
                        }
                        row.emplace_back(m.name, psnr(out.pixels, 3, ref));
                    }
                }
                if (!header_done) {
                    for (const auto& [name, v] : row) std::printf(" %13s", name.c_str());
                    std::printf("\n");
                    header_done = true;
                }
                std::printf("%-34s %-5s %-7s", fs::path(photo).filename().string().substr(0, 34).c_str(), pat.name, domain);
                for (const auto& [name, v] : row) {
                    std::printf(" %13.2f", v);
                    record(domain, name, v);
                }
                std::printf("\n");
                std::fflush(stdout);
            }
        }
    }
    std::printf("\nMean PSNR (dB) over %zu photographs x 2 patterns:\n", photos.size());
    for (const char* domain : {"sRGB", "linear"}) {
        std::printf("  %-7s", domain);
        for (const std::string& m : method_order) {
            const auto& v = results[domain][m];
            double s = 0;
            for (double x : v) s += x;
            std::printf("  %s %.2f", m.c_str(), v.empty() ? 0.0 : s / double(v.size()));
        }
        std::printf("\n");
    }
    std::fclose(quiet);
    dvklib_delete(&rec);
    if (keep.empty()) fs::remove_all(work);
    return 0;
}
