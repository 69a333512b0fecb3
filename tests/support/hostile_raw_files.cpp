#include "tests/support/hostile_raw_files.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <libraw/libraw.h>

#include "pipeline/load/load_errors.h"
#include "tests/support/dng_writer.h"
#include "tests/support/test_paths.h"

namespace dvk::test {

namespace {

namespace fs = std::filesystem;

constexpr uid_t kNobody = 65534;
// A few tens of MB: what a file of a few KB may make a program take.
constexpr long kTiny = 48;

// A little-endian TIFF with one directory at offset 8: entries are added in
// tag order; values of more than four bytes go after the directory.
class TiffBytes {
public:
    void add(std::uint16_t tag, std::uint16_t type, std::uint32_t count, std::vector<std::uint8_t> value) {
        entries_.push_back({tag, type, count, std::move(value)});
    }
    void add_long(std::uint16_t tag, std::uint32_t v) { add(tag, 4, 1, le32(v)); }
    void add_short(std::uint16_t tag, std::vector<std::uint16_t> v) {
        std::vector<std::uint8_t> bytes;
        for (std::uint16_t s : v) bytes.insert(bytes.end(), {std::uint8_t(s), std::uint8_t(s >> 8)});
        add(tag, 3, std::uint32_t(v.size()), bytes);
    }
    void add_ascii(std::uint16_t tag, const std::string& s) {
        std::vector<std::uint8_t> bytes(s.begin(), s.end());
        bytes.push_back(0);
        add(tag, 2, std::uint32_t(bytes.size()), bytes);
    }
    std::vector<std::uint8_t> bytes() const {
        std::vector<std::uint8_t> out = {'I', 'I', 42, 0, 8, 0, 0, 0};
        const std::uint32_t n = std::uint32_t(entries_.size());
        std::uint32_t data = 8 + 2 + 12 * n + 4;
        std::vector<std::uint8_t> tail;
        out.insert(out.end(), {std::uint8_t(n), std::uint8_t(n >> 8)});
        for (const Entry& e : entries_) {
            append(out, {std::uint8_t(e.tag), std::uint8_t(e.tag >> 8), std::uint8_t(e.type), 0});
            append(out, le32(e.count));
            if (e.value.size() <= 4) {
                std::vector<std::uint8_t> inline_value = e.value;
                inline_value.resize(4, 0);
                append(out, inline_value);
            } else {
                append(out, le32(data + std::uint32_t(tail.size())));
                append(tail, e.value);
                if (tail.size() % 2) tail.push_back(0);
            }
        }
        append(out, le32(0));
        append(out, tail);
        return out;
    }

private:
    struct Entry {
        std::uint16_t tag, type;
        std::uint32_t count;
        std::vector<std::uint8_t> value;
    };
    static std::vector<std::uint8_t> le32(std::uint32_t v) {
        return {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)};
    }
    static void append(std::vector<std::uint8_t>& to, const std::vector<std::uint8_t>& more) {
        to.insert(to.end(), more.begin(), more.end());
    }
    std::vector<Entry> entries_;
};

// The staggered (45-degree) layout with an ActiveArea of two values: LibRaw
// reads the other two from the bytes after them and declares 32766 x 32765.
std::vector<std::uint8_t> staggered_two_value_active_area() {
    TiffBytes t;
    t.add_short(256, {64});
    t.add_short(257, {64});
    t.add_short(258, {16});
    t.add_short(262, {32803});
    t.add(50706, 1, 4, {1, 4, 0, 0});  // DNGVersion
    t.add_short(50711, {2});           // CFALayout
    t.add_short(50829, {1, 1});        // ActiveArea, two values of four
    return t.bytes();
}

// One entry: a CFAPattern of 36 bytes whose offset is the end of the file.
std::vector<std::uint8_t> pattern_past_end() {
    std::vector<std::uint8_t> b = {'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0x8e, 0x82, 1, 0, 36, 0, 0, 0};
    const std::uint32_t end = 273;
    b.insert(b.end(), {std::uint8_t(end), std::uint8_t(end >> 8), 0, 0, 0, 0, 0, 0});
    b.resize(end, 0);
    return b;
}

// Drops root's rights for good: supplementary groups, group, user.
bool become_nobody() { return setgroups(0, nullptr) == 0 && setgid(kNobody) == 0 && setuid(kNobody) == 0; }

long max_rss_kb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

std::string read_whole(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

namespace {

// The tags every hostile DNG here shares: a 16-bit RGGB mosaic of
// width x height, camera "Acme Big".
void add_mosaic_tags(TiffBytes& t, std::uint32_t width, std::uint32_t height, std::uint16_t compression) {
    t.add_long(254, 0);
    t.add_long(256, width);
    t.add_long(257, height);
    t.add_short(258, {16});
    t.add_short(259, {compression});
    t.add_short(262, {32803});
    t.add_ascii(271, "Acme");
    t.add_ascii(272, "Big");
}

void add_dng_tags(TiffBytes& t) {
    t.add_short(33421, {2, 2});
    t.add(33422, 1, 4, {0, 1, 1, 2});
    t.add(50706, 1, 4, {1, 4, 0, 0});
    t.add_ascii(50708, "Acme Big");
    t.add_long(50717, 4095);
}

std::vector<std::uint8_t> le32_array(const std::vector<std::uint32_t>& values) {
    std::vector<std::uint8_t> bytes;
    for (std::uint32_t v : values)
        bytes.insert(bytes.end(), {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)});
    return bytes;
}

}  // namespace

std::vector<std::uint8_t> lossless_jpeg(unsigned width, unsigned height, unsigned code_bits) {
    std::vector<std::uint8_t> b = {0xff, 0xd8};
    // DHT: class 0, table 0; one code of length code_bits, for the symbol 0.
    b.insert(b.end(), {0xff, 0xc4, 0x00, 0x14, 0x00});
    for (unsigned length = 1; length <= 16; ++length) b.push_back(length == code_bits ? 1 : 0);
    b.push_back(0);
    // SOF3: 16 bits, height x width, one component (1, sampling 1 x 1, table 0).
    b.insert(b.end(), {0xff, 0xc3, 0x00, 0x0b, 16, std::uint8_t(height >> 8), std::uint8_t(height),
                       std::uint8_t(width >> 8), std::uint8_t(width), 1, 1, 0x11, 0});
    // SOS: component 1 with table 0, predictor 1.
    b.insert(b.end(), {0xff, 0xda, 0x00, 0x08, 1, 1, 0x00, 1, 0, 0});
    b.insert(b.end(), (std::size_t(width) * height * code_bits + 7) / 8, 0);
    b.insert(b.end(), {0xff, 0xd9});
    return b;
}

void write_lossless_dng(const fs::path& path, std::uint32_t width, std::uint32_t height, unsigned code_bits) {
    const std::vector<std::uint8_t> data = lossless_jpeg(width, height, code_bits);
    const auto header = [&](std::uint32_t offset) {
        TiffBytes t;
        add_mosaic_tags(t, width, height, 7);
        t.add_long(273, offset);
        t.add_short(277, {1});
        t.add_long(278, height);
        t.add_long(279, std::uint32_t(data.size()));
        add_dng_tags(t);
        return t.bytes();
    };
    std::vector<std::uint8_t> bytes = header(4096);
    bytes.resize(4096, 0);
    bytes.insert(bytes.end(), data.begin(), data.end());
    write_bytes(path, bytes);
}

void write_shared_tile_dng(const fs::path& path, std::uint32_t width, std::uint32_t height, std::uint32_t tile,
                           bool lossless, std::size_t file_bytes) {
    const std::uint32_t tiles = ((width + tile - 1) / tile) * ((height + tile - 1) / tile);
    const std::vector<std::uint8_t> data = lossless ? lossless_jpeg(tile, tile, 1)
                                                    : std::vector<std::uint8_t>(std::size_t(tile) * tile * 2, 0x40);
    const auto header = [&](std::uint32_t offset) {
        TiffBytes t;
        add_mosaic_tags(t, width, height, lossless ? 7 : 1);
        t.add_short(277, {1});
        t.add_long(322, tile);
        t.add_long(323, tile);
        t.add(324, 4, tiles, le32_array(std::vector<std::uint32_t>(tiles, offset)));
        t.add(325, 4, tiles, le32_array(std::vector<std::uint32_t>(tiles, std::uint32_t(data.size()))));
        add_dng_tags(t);
        return t.bytes();
    };
    const std::uint32_t offset = std::uint32_t((header(0).size() + 4095) / 4096 * 4096);
    std::vector<std::uint8_t> bytes = header(offset);
    bytes.resize(offset, 0);
    bytes.insert(bytes.end(), data.begin(), data.end());
    if (bytes.size() < file_bytes) bytes.resize(file_bytes, 0);
    write_bytes(path, bytes);
}

// A DNG header of about 1.4 KB declaring width x height 32-bit floating-point
// samples, deflate-compressed: no least size is known for such data.
std::vector<std::uint8_t> deflate_header(std::uint32_t width, std::uint32_t height) {
    TiffBytes t;
    t.add_long(254, 0);
    t.add_long(256, width);
    t.add_long(257, height);
    t.add_short(258, {32});
    t.add_short(259, {8});
    t.add_short(262, {32803});
    t.add_ascii(271, "Acme");
    t.add_ascii(272, "Big");
    t.add_long(273, 1400);
    t.add_short(277, {1});
    t.add_long(278, height);
    t.add_long(279, 1000);
    t.add_short(339, {3});
    add_dng_tags(t);
    std::vector<std::uint8_t> bytes = t.bytes();
    bytes.resize(1400, 0);
    return bytes;
}

void write_header_larger_than_data(const fs::path& path, std::uint32_t width, std::uint32_t height,
                                   std::size_t file_bytes) {
    TiffBytes t;
    add_mosaic_tags(t, width, height, 1);
    t.add_long(273, 1400);
    t.add_short(277, {1});
    t.add_long(278, height);
    t.add_long(279, std::uint32_t(std::min<std::uint64_t>(std::uint64_t(width) * height * 2, 0xffffffffu)));
    add_dng_tags(t);
    std::vector<std::uint8_t> bytes = t.bytes();
    bytes.resize(std::max<std::size_t>(file_bytes, 1400), 0);
    write_bytes(path, bytes);
}

std::vector<HostileFile> write_hostile_files(const fs::path& dir) {
    fs::permissions(dir, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                             fs::perms::others_read | fs::perms::others_exec);
    std::vector<HostileFile> files;
    write_header_larger_than_data(dir / "larger20k.dng", 20000, 20000);
    files.push_back({"larger20k", dir / "larger20k.dng", kLoadDataPastEnd, kTiny});
    write_header_larger_than_data(dir / "larger64k.dng", 64000, 64000);
    files.push_back({"larger64k", dir / "larger64k.dng", kLoadDataPastEnd, kTiny});
    write_bytes(dir / "staggered98.dng", staggered_two_value_active_area());
    files.push_back({"staggered98", dir / "staggered98.dng", kLoadDataPastEnd, kTiny});
    // Uncompressed samples the file does not hold: 24000 x 16000 in 900 KB
    // (before, within what a file of that size might take at half size).
    write_header_larger_than_data(dir / "uncompressed900k.dng", 24000, 16000, 900000);
    files.push_back({"uncompressed900k", dir / "uncompressed900k.dng", kLoadDataPastEnd, kTiny});
    write_bytes(dir / "deflate20k.dng", deflate_header(20000, 20000));
    files.push_back({"deflate20k", dir / "deflate20k.dng", kLoadLargerThanData, kTiny});
    // 4096 x 4096 in 256 tiles that all share the data of one, in 900 KB.
    write_shared_tile_dng(dir / "shared_tiles.dng", 4096, 4096, 256, false, 900000);
    files.push_back({"shared_tiles", dir / "shared_tiles.dng", kLoadDataPastEnd, kTiny});
    write_shared_tile_dng(dir / "shared_lossless_tiles.dng", 4096, 4096, 256, true, 900000);
    files.push_back({"shared_lossless_tiles", dir / "shared_lossless_tiles.dng", kLoadDataPastEnd, kTiny});
    write_bytes(dir / "past_end273.dng", pattern_past_end());
    files.push_back({"past_end273", dir / "past_end273.dng", kLoadUnsafe, kTiny});

    const std::string chart = read_whole(chart_dng());
    std::ofstream(dir / "truncated.dng", std::ios::binary) << chart.substr(0, chart.size() / 2);
    // Its samples are stored uncompressed: half of them are missing.
    files.push_back({"truncated", dir / "truncated.dng", kLoadDataPastEnd, kTiny});

    write_dng(dir / "unreadable.dng", gradient_dng(DngLayout::Bayer, 32, 24));
    fs::permissions(dir / "unreadable.dng", fs::perms::none);
    files.push_back({"unreadable", dir / "unreadable.dng", load_code_for_errno(EACCES), kTiny, true});

    fs::create_directory(dir / "folder.dng");
    files.push_back({"folder", dir / "folder.dng", load_code_for_errno(EISDIR), kTiny});
    mkfifo((dir / "fifo.dng").c_str(), 0644);
    files.push_back({"fifo", dir / "fifo.dng", kLoadNotRegularFile, kTiny});
    files.push_back({"missing", dir / "missing.dng", load_code_for_errno(ENOENT), kTiny});
    return files;
}

ChildRun run_in_child(const std::function<int()>& fn, bool other_user) {
    int pipe_fds[2];
    if (pipe(pipe_fds) != 0) return {};
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t pid = fork();
    if (pid == 0) {
        close(pipe_fds[0]);
        if (other_user && geteuid() == 0 && !become_nobody()) _exit(120);
        const long before = max_rss_kb();
        const long answer[2] = {fn(), max_rss_kb() - before};
        const bool sent = write(pipe_fds[1], answer, sizeof answer) == ssize_t(sizeof answer);
        _exit(sent ? 0 : 121);
    }
    close(pipe_fds[1]);
    long answer[2] = {0, 0};
    const bool got = pid > 0 && read(pipe_fds[0], answer, sizeof answer) == ssize_t(sizeof answer);
    close(pipe_fds[0]);
    int status = 0;
    ChildRun run;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0 || !got)
        return run;
    run.ended = true;
    run.result = int(answer[0]);
    run.grown_kb = answer[1];
    return run;
}

ToolRun run_built_tool_measured(const std::string& name, const std::vector<std::string>& args, bool other_user) {
    ToolRun run;
    TempDir dir;
    fs::permissions(dir.path(), fs::perms::all);
    const fs::path err = dir / "err.txt";
    const std::string program = std::string(DVK_BINARY_DIR) + "/bin/" + name;
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t pid = fork();
    if (pid == 0) {
        const int out = open("/dev/null", O_WRONLY);
        const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        if (out < 0 || e < 0) _exit(126);
        dup2(out, 1);
        dup2(e, 2);
        if (other_user && geteuid() == 0 && !become_nobody()) _exit(126);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid) return run;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.max_rss_kb = usage.ru_maxrss;
    run.err = read_whole(err);
    return run;
}

}  // namespace dvk::test
