// The modifier keys held at this moment, as the flags the program's rules
// test: Shift, Control (the Meta key), Option (Alt) and Command (Ctrl).
// The program installs the Qt query at start-up; tests set the flags.
#pragma once

#include <functional>

namespace dvk {

enum ModifierFlag : unsigned {
    kShiftKeyMask = 0x20000,
    kControlKeyMask = 0x40000,    // the Meta key
    kAlternateKeyMask = 0x80000,  // Option: the Alt key
    kCommandKeyMask = 0x100000,   // the Ctrl key
};

// The flags now (0 with no query installed).
unsigned currentModifierFlags();
// Installs the query (empty: none) and returns the one it replaces.
std::function<unsigned()> setModifierFlagsQuery(std::function<unsigned()> query);

// Test helper: the query answers `flags` while this object lives, then the
// previous query returns.
class ScopedModifierFlags {
public:
    explicit ScopedModifierFlags(unsigned flags);
    ~ScopedModifierFlags();
    ScopedModifierFlags(const ScopedModifierFlags&) = delete;
    ScopedModifierFlags& operator=(const ScopedModifierFlags&) = delete;

private:
    std::function<unsigned()> previous_;
};

}  // namespace dvk
