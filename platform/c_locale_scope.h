// CNumericScope: for its lifetime, the calling thread reads and writes numbers
// in the "C" locale (a decimal point), whatever the process locale. Other
// threads are not affected. Wraps C libraries that print or parse numbers
// with the locale-dependent C functions.
#pragma once

#include <clocale>
#include <locale.h>

namespace dvk {

class CNumericScope {
public:
    CNumericScope() {
        locale_t base = duplocale(uselocale(static_cast<locale_t>(nullptr)));
        if (base) c_ = newlocale(LC_NUMERIC_MASK, "C", base);
        if (!c_ && base) freelocale(base);
        if (c_) old_ = uselocale(c_);
    }
    ~CNumericScope() {
        if (c_) {
            uselocale(old_);
            freelocale(c_);
        }
    }
    CNumericScope(const CNumericScope&) = delete;
    CNumericScope& operator=(const CNumericScope&) = delete;

private:
    locale_t c_ = nullptr;
    locale_t old_ = nullptr;
};

}  // namespace dvk
