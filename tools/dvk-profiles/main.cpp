// dvk-profiles: inspects the built-in profile table.
//
//   dvk-profiles --list              one line per table row: index, name, ICC
//                                    byte length, saturation, data colour space,
//                                    connection space, description
//   dvk-profiles --write NAME FILE   writes the ICC bytes of NAME (any name the
//                                    profile lookup accepts) to FILE
#include <cstdio>
#include <cstring>
#include <string>

#include "colour/builtin_profiles.h"
#include "colour/profile.h"
#include "colour/profile_lookup.h"
#include "tools/common/own_line.h"

namespace {

std::string signature(std::uint32_t s) {
    std::string out;
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(char((s >> shift) & 0xFF));
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

int list() {
    for (unsigned i = 0; i < dvk::kBuiltinProfileCount; ++i) {
        const char* name = dvk::builtin_profiles[i].name;
        auto p = dvk::getDVKProfileRef(name, nullptr);
        if (p) {
            dvk::tools::tool_print(stdout, "%3u\t%s\t%zu\t%g\t%s\t%s\t%s\n", i, name, p->bytes().size(), dvk::get_profile_saturation(i),
                        signature(p->colour_space()).c_str(), signature(p->connection_space()).c_str(),
                        p->description().c_str());
        } else {
            dvk::tools::tool_print(stdout, "%3u\t%s\t0\t%g\t-\t-\t(no profile until a raw file is loaded)\n", i, name,
                        dvk::get_profile_saturation(i));
        }
    }
    return 0;
}

int write(const char* name, const char* path) {
    auto p = dvk::getDVKProfileRef(name, nullptr);
    if (!p) {
        dvk::tools::tool_print(stderr, "dvk-profiles: no profile for %s\n", name);
        return 1;
    }
    FILE* f = std::fopen(path, "wb");
    if (!f) {
        dvk::tools::tool_print(stderr, "dvk-profiles: cannot write %s\n", path);
        return 1;
    }
    const bool ok = std::fwrite(p->bytes().data(), 1, p->bytes().size(), f) == p->bytes().size();
    if (std::fclose(f) != 0 || !ok) {
        dvk::tools::tool_print(stderr, "dvk-profiles: cannot write %s\n", path);
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    dvk::tools::track_engine_messages();
    if (argc == 2 && std::strcmp(argv[1], "--list") == 0) return list();
    if (argc == 4 && std::strcmp(argv[1], "--write") == 0) return write(argv[2], argv[3]);
    dvk::tools::tool_print(stderr, "usage: dvk-profiles --list | --write NAME FILE\n");
    return 2;
}
