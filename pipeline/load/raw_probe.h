// The first reading of raw files in a short-lived process of their own.
//
// LibRaw's parsers have crashed on damaged files and will again; a file read
// in the program's own process could end the program. Where a probe program
// is in use, the first reading of a file (raw_identity.h) runs in it
// (tools/dvk-probe) through the process runner, with a time limit: a crash, a
// hang or an answer that is not whole refuses the file with kLoadUnsafe ("the
// file could not be read safely") and the program goes on. Answers are kept
// per file (path, device, inode, size and times), so that the load after an
// identification starts no second child; a file changed meanwhile is read
// again.
//
// Every road that identifies or opens a raw file comes here: identify_camera
// and load_raw_file call identify_raw_file / first_reading_refusal. Without a
// probe program (the library's default, and most tests') the reading is done
// in this process.
#pragma once

#include <chrono>
#include <string>

#include "pipeline/load/raw_identity.h"

namespace dvk {

// A probe that has not answered by then is stopped and the file refused.
inline constexpr std::chrono::seconds kRawProbeTimeLimit{10};

// The probe program in use; empty: none.
std::string raw_probe_program();
// Puts `program` in use (empty: none) and forgets every answer kept.
void set_raw_probe_program(const std::string& program);
// "dvk-probe" in the running executable's folder.
std::string raw_probe_beside_executable();
// For the programs' start: the probe beside the executable, or, when there is
// none, the reading in this process, said in the log.
void use_raw_probe_beside_executable();

// The first reading of `path`: by the probe when one is in use, else here.
RawIdentity identify_raw_file(const std::string& path);
// For a decoder about to open `path` in this process: 0 when the first
// reading found nothing against it (always without a probe in use), else the
// code that refuses the file (it could not be read safely, is unreadable, is
// no raw file).
int first_reading_refusal(const std::string& path);

}  // namespace dvk
