// dvk-develop built without the application's rules: the metadata roads
// answer that they are missing.
#include <cstdio>

#include "tools/dvk-develop/metadata.h"

namespace dvk::develop {

namespace {

int missing() {
    std::fprintf(stderr, "dvk-develop: built without the application (DVK_BUILD_APP=OFF)\n");
    return 2;
}

}  // namespace

int exif_file(const std::string&) { return missing(); }
int menus_file(const std::string&) { return missing(); }
bool copy_tags_after_save(const RawProcessor&) { return missing() == 0; }

}  // namespace dvk::develop
