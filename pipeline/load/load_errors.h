// Why a raw file could not be loaded: the codes the loader adds to LibRaw's
// own, the check of a path before any decoder opens it, and the texts every
// road shows ("PATH: reason").
#pragma once

#include <cstdint>
#include <string>

namespace dvk {

// The header declares an image larger than the data the file can hold.
inline constexpr int kLoadLargerThanData = -200001;
// The image would need more memory than this computer has.
inline constexpr int kLoadTooLarge = -200002;
// The first reading of the file ended abnormally (a crash, a hang) in its
// own process.
inline constexpr int kLoadUnsafe = -200003;
// The path names something other than a regular file (a FIFO, a device).
inline constexpr int kLoadNotRegularFile = -200004;
// The file ends before the samples its header declares (stored uncompressed,
// or compressed to no less than a known least size), or its tiles share
// their data: found before anything is allocated at the declared size.
inline constexpr int kLoadDataPastEnd = -200005;
// kLoadSystemError - errno: the system refused the file; the reason is
// errno's own text ("Permission denied").
inline constexpr int kLoadSystemError = -300000;

// The code of a system error (errno).
int load_code_for_errno(int err);

// Whether `path` may be handed to the decoder: 0 when it names a regular file
// this process may read (its size then in *bytes when given), else the code
// of why not. Nothing is left open, and a FIFO or device is never opened.
int check_raw_file_access(const char* path, std::uint64_t* bytes = nullptr);

// The reason alone, e.g. "the image is larger than its data", "Permission
// denied", "its data could not be read to the end (the file is cut short or
// damaged)", "not a raw file of a known camera".
std::string load_error_reason(int code);
// "PATH: reason", as the window, the batch and the tools say it.
std::string load_error_text(const std::string& path, int code);
// Whether the code means that the file is no raw file the decoder knows (as
// opposed to one it knows but could not read).
bool is_unknown_format(int code);
// The code of a failed LibRaw open_file: a file whose header ends before the
// decoder has read enough of it (an I/O or data error while identifying) is
// no raw file it knows; other codes stay.
int open_failure_code(int libraw_code);

}  // namespace dvk
