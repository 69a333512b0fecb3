// dvk-probe: the first reading of one raw file (may it be read, does LibRaw
// know it, does the image it declares fit its data), answered on standard
// output in the form of pipeline/load/raw_identity.h. Run by the programs
// that open raw files, so that a decoder that crashes or hangs on a hostile
// file ends this process and not theirs.
//
//   dvk-probe [--threads N] [--] FILE
//
// Exit status 0 with a whole answer, whatever the answer says; 2 for a usage
// error. Any other end (a signal, a cut answer) means the file could not be
// read safely.
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/dvklib.h"
#include "pipeline/load/raw_identity.h"

namespace {

// A header that makes the decoder allocate without end meets this limit
// instead of the computer's memory. (AddressSanitizer reserves its shadow
// memory as address space: no limit in that build.)
constexpr rlim_t kAddressSpace = rlim_t(4) << 30;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

int usage() {
    std::fprintf(stderr, "usage: dvk-probe [--threads N] [--] FILE\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    const char* file = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--threads") == 0 && i + 1 < argc) {
            const int n = std::atoi(argv[++i]);
            if (n < 1) return usage();
            dvk::band_thread_count = n;
        } else if (std::strcmp(argv[i], "--") == 0 && i + 2 == argc) {
            file = argv[++i];
        } else if (argv[i][0] != '-' && i + 1 == argc) {
            file = argv[i];
        } else {
            return usage();
        }
    }
    if (!file) return usage();
    if (!kAddressSanitizer) {
        rlimit limit{kAddressSpace, kAddressSpace};
        setrlimit(RLIMIT_AS, &limit);
    }
    const std::string answer = dvk::format_raw_identity(dvk::read_raw_identity(file));
    std::fwrite(answer.data(), 1, answer.size(), stdout);
    std::fflush(stdout);
    // Straight out: nothing of the decoder is torn down (its state is the
    // file's), and no exit-time checks run.
    _exit(0);
}
