// A tool's own output on lines of its own.
//
// A library's message may end without a line end. On a terminal, where
// standard output and standard error meet, the tool's next line would run
// straight into such a message. track_engine_messages() routes standard error through a stream that
// remembers whether its last line was finished; tool_print() finishes it
// first and then prints the tool's own text. Nothing of the engine's text
// changes.
#pragma once

#include <cstdio>

namespace dvk::tools {

// Call once at the start of main(), before the engine writes anything.
void track_engine_messages();
// Ends an unfinished line on standard error (a no-op when there is none).
void start_own_line();
// start_own_line(), then fprintf(stream, format, ...).
void tool_print(FILE* stream, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace dvk::tools
