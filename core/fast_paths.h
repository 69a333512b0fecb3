// Several develop steps have a special form for the common case (a 2 x 2
// colour pattern, neutral settings, samples no later step reads) that gives
// the same output as their general form in less time. Tests switch the
// special forms off to compare the two on real files; nothing else does.
#pragma once

namespace dvk {

bool fast_paths_enabled();
void set_fast_paths_enabled(bool on);

}  // namespace dvk
