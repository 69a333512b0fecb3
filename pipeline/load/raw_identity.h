// The first reading of a raw file: may it be handed to the decoder, does the
// decoder know it (its camera, its raw frames), and does the image it
// declares fit its data. The probe program (tools/dvk-probe) does this
// reading in a process of its own and answers in the text form below;
// raw_probe.h runs it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace dvk {

struct RawIdentity {
    // 0 when the decoder opened the file, else the reason's code
    // (load_errors.h, or LibRaw's).
    int open = 0;
    // Raw frames in the file, and "Make Model".
    unsigned raws = 0;
    std::string camera;
    // check_declared_size of a full-size load: 0 or the refusal's code.
    int size = 0;

    // What identify_camera accepts: a file the decoder opens with a raw frame.
    bool is_raw() const { return open == 0 && raws > 0; }
    // Why the file cannot be identified or loaded (0: it can): the open's
    // code, a file without frames as an unknown format, else the size's.
    int refusal() const;
};

// The first reading in this process.
RawIdentity read_raw_identity(const char* path);

// The answer's text: one "key value" line each for open, raws, camera and
// size, then "end".
std::string format_raw_identity(const RawIdentity& identity);
// The answer read back; nothing when the text is not a whole answer.
std::optional<RawIdentity> parse_raw_identity(std::string_view text);

}  // namespace dvk
