// The program's log: standard output and standard error appended to
// "DVK.log" in the support folder, for the whole run.
//
// startLogging() is the first thing main does. With DVK_NO_REDIRECT exactly
// "1" it does nothing (both streams stay on the terminal, no start message).
// Otherwise it makes the support folder (with its parents), moves a log of
// more than 524,288 bytes to "DVK_old.log" (replacing an older one), points
// both streams at the log (standard output line-buffered, standard error
// unbuffered) and writes "DVK <version> (<build>) started". Problems on the
// way are reported on the streams as they were at that moment and never stop
// the start; a log that does not exist yet is none.
#pragma once

namespace dvk {

constexpr long kLogRotationBytes = 0x80000;

void startLogging();

}  // namespace dvk
