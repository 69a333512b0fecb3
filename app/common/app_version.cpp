#include "app/common/app_version.h"

#ifndef DVK_SHORT_VERSION
#define DVK_SHORT_VERSION "0.0.0"
#endif
#ifndef DVK_BUILD_VERSION
#define DVK_BUILD_VERSION "0"
#endif

namespace dvk {

const char* dvkShortVersion() { return DVK_SHORT_VERSION; }
const char* dvkBuildVersion() { return DVK_BUILD_VERSION; }

}  // namespace dvk
