// dvk-lua-chunk SIZE_T IN OUT: rewrites the Lua 5.1 chunk IN (as luac5.1
// wrote it on this machine) for a size_t of SIZE_T bytes (4 or 8) into OUT.
// Exit status 1, with the reason on standard error, when IN cannot be read
// as a chunk to its last byte.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tools/dvk-lua-chunk/lua_chunk.h"

int main(int argc, char** argv) {
    if (argc != 4 || (std::string(argv[1]) != "4" && std::string(argv[1]) != "8")) {
        std::fprintf(stderr, "usage: dvk-lua-chunk 4|8 IN OUT\n");
        return 2;
    }
    std::ifstream in(argv[2], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "dvk-lua-chunk: cannot read %s\n", argv[2]);
        return 1;
    }
    std::vector<std::uint8_t> chunk((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string error;
    auto out = dvk::rewrite_lua_chunk_size_t(chunk, unsigned(std::stoi(argv[1])), &error);
    if (!out) {
        std::fprintf(stderr, "dvk-lua-chunk: %s: %s\n", argv[2], error.c_str());
        return 1;
    }
    const std::string tmp = std::string(argv[3]) + ".tmp";
    {
        std::ofstream o(tmp, std::ios::binary | std::ios::trunc);
        o.write(reinterpret_cast<const char*>(out->data()), std::streamsize(out->size()));
        if (!o.flush()) {
            std::fprintf(stderr, "dvk-lua-chunk: cannot write %s\n", tmp.c_str());
            return 1;
        }
    }
    std::error_code ec;
    std::filesystem::rename(tmp, argv[3], ec);
    if (ec) {
        std::fprintf(stderr, "dvk-lua-chunk: cannot write %s: %s\n", argv[3], ec.message().c_str());
        return 1;
    }
    return 0;
}
