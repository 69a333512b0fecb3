// The build variants of the colour tables' pixel loops: each function marked
// DVK_COLOUR_CLONES is compiled for AVX-512, AVX2 and the baseline, and the
// variant for the processor is chosen at load time. Files using it are
// compiled without fused multiply-adds (colour/CMakeLists.txt), so that every
// variant gives the same results.
#pragma once

#if defined(__SANITIZE_THREAD__)
// ThreadSanitizer cannot run the load-time choice (it comes before its runtime).
#define DVK_COLOUR_CLONES
#else
#define DVK_COLOUR_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#endif
