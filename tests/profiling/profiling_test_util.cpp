#include "tests/profiling/profiling_test_util.h"

#include <clocale>

namespace dvk::test {

GermanLocale::GermanLocale() {
    const char* current = std::setlocale(LC_ALL, nullptr);
    previous_ = current ? current : "C";
    ok_ = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
}

GermanLocale::~GermanLocale() { std::setlocale(LC_ALL, previous_.c_str()); }

}  // namespace dvk::test
