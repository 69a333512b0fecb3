// The program's log call: one formatted line on standard error (which the
// application redirects into its log file). A trailing newline is added when
// the text has none.
#pragma once

namespace dvk {

void log_line(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace dvk
