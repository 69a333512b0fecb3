// The program's log call: one formatted line on standard error (which the
// application redirects into its log file). A trailing newline is added when
// the text has none.
#pragma once

#include <string>

namespace dvk {

void log_line(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The standard error the program was started with, kept when the log took
// its place (-1: none kept; standard error is then where it was, and
// log_line reaches it already).
void set_terminal_descriptor(int fd);
// `text` (with a line end added when it has none) on that kept standard
// error; nothing when none was kept.
void terminal_text(const std::string& text);

}  // namespace dvk
