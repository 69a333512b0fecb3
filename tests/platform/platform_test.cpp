#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

#include "platform/dispatch.h"
#include "platform/folders.h"
#include "platform/plist_read.h"
#include "platform/regular_file.h"
#include "platform/user_defaults.h"
#include "tests/support/hostile_files.h"
#include "tests/support/test_paths.h"

namespace dvk {
namespace {
using test::TempDir;

struct EnvGuard {
    std::string name;
    std::string old;
    bool had;
    EnvGuard(const char* n, const char* value) : name(n) {
        const char* o = std::getenv(n);
        had = o != nullptr;
        if (o) old = o;
        if (value)
            setenv(n, value, 1);
        else
            unsetenv(n);
    }
    ~EnvGuard() {
        if (had)
            setenv(name.c_str(), old.c_str(), 1);
        else
            unsetenv(name.c_str());
    }
};

TEST(Dispatch, InlineOnTheMainThread) {
    markMainThread();
    ManualMainQueue queue;
    setMainExecutor(queue.executor());
    int ran = 0;
    runOnMainQueue([&] { ++ran; });
    EXPECT_EQ(ran, 1);
    EXPECT_EQ(queue.pending(), 0u);
    setMainExecutor({});
}

TEST(Dispatch, QueuedFromAWorkerThread) {
    markMainThread();
    ManualMainQueue queue;
    setMainExecutor(queue.executor());
    int ran = 0;
    std::thread worker([&] { runOnMainQueue([&] { ++ran; }); });
    worker.join();
    EXPECT_EQ(ran, 0);
    EXPECT_EQ(queue.pending(), 1u);
    EXPECT_EQ(queue.drain(), 1);
    EXPECT_EQ(ran, 1);
    setMainExecutor({});
}

TEST(Dispatch, InlineExecutorRunsAtOnce) {
    markMainThread();
    setMainExecutor(inlineMainExecutor());
    int ran = 0;
    std::thread worker([&] {
        EXPECT_FALSE(isMainThread());
        runOnMainQueue([&] { ++ran; });
    });
    worker.join();
    EXPECT_EQ(ran, 1);
    setMainExecutor({});
}

TEST(UserDefaults, AbsentKeysReadAsZero) {
    TempDir dir;
    UserDefaults d((dir / "none/defaults.plist").string());
    EXPECT_EQ(d.floatForKey("TiffXResolution"), 0.0f);
    EXPECT_FALSE(d.boolForKey("NoCFA"));
    EXPECT_EQ(d.stringForKey("Nothing"), "");
    EXPECT_FALSE(d.hasKey("NoCFA"));
}

TEST(UserDefaults, RoundTripThroughTheFile) {
    TempDir dir;
    const std::string path = (dir / "cfg/DVK/defaults.plist").string();
    {
        UserDefaults d(path);
        d.setDouble("TiffXResolution", 300.5);
        d.setBool("NoCFA", true);
        d.setInteger("Count", -3);
        d.setString("Name", "a b");
        ASSERT_TRUE(d.synchronize());
    }
    UserDefaults e(path);
    EXPECT_EQ(e.floatForKey("TiffXResolution"), 300.5f);
    EXPECT_TRUE(e.boolForKey("NoCFA"));
    EXPECT_EQ(e.integerForKey("Count"), -3);
    EXPECT_EQ(e.stringForKey("Name"), "a b");
    e.removeKey("NoCFA");
    EXPECT_FALSE(e.boolForKey("NoCFA"));
    e.reload();
    EXPECT_TRUE(e.boolForKey("NoCFA"));
}

// Writers of one defaults file at once (other processes, other stores of
// one process) each write a temporary file of their own and rename it into
// place: every write succeeds, the file is one of them whole, nothing is
// left behind.
TEST(UserDefaults, ConcurrentWritersEachSucceedAndLeaveOneWholeFile) {
    TempDir dir;
    const std::string path = (dir / "defaults.plist").string();
    constexpr int kWriters = 8, kWrites = 40;
    std::atomic<int> failed{0};
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w)
        writers.emplace_back([&, w] {
            UserDefaults d(path);
            for (int i = 0; i < kWrites; ++i) {
                d.setInteger("Writer", w);
                d.setString("Padding", std::string(static_cast<std::size_t>(4000 + w * 100 + i), 'x'));
                if (!d.synchronize()) ++failed;
            }
        });
    for (auto& t : writers) t.join();
    EXPECT_EQ(failed.load(), 0);
    UserDefaults back(path);
    const long long writer = back.integerForKey("Writer");
    EXPECT_TRUE(writer >= 0 && writer < kWriters) << writer;
    EXPECT_EQ(back.stringForKey("Padding").size(), static_cast<std::size_t>(4000 + writer * 100 + kWrites - 1));
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) names.push_back(e.path().filename());
    EXPECT_EQ(names, std::vector<std::string>{"defaults.plist"});
}

TEST(UserDefaults, ReadsAnXmlPropertyListWrittenByHand) {
    TempDir dir;
    const std::string path = (dir / "defaults.plist").string();
    std::ofstream(path) << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                           "<plist version=\"1.0\"><dict><key>TiffYResolution</key><integer>240</integer>"
                           "<key>LegacyColorSync</key><true/></dict></plist>\n";
    UserDefaults d(path);
    EXPECT_EQ(d.floatForKey("TiffYResolution"), 240.0f);
    EXPECT_TRUE(d.boolForKey("LegacyColorSync"));
}

TEST(UserDefaults, GarbageFileReadsAsEmpty) {
    TempDir dir;
    const std::string path = (dir / "defaults.plist").string();
    std::ofstream(path) << "not a property list";
    UserDefaults d(path);
    EXPECT_EQ(d.doubleForKey("TiffXResolution"), 0.0);
}

// A defaults file that cannot be read is renamed aside (never deleted), said
// once, and the store starts empty and writes a new file.
TEST(UserDefaults, AnUnreadableFileIsSetAsideAndTheStoreStartsEmpty) {
    struct Case {
        const char* name;
        std::function<void(const std::string& path)> make;
        const char* reason;
    };
    const std::vector<Case> cases = {
        {"deep XML", [](const std::string& p) { std::ofstream(p) << test::deep_xml_plist(200000); },
         "nested too deeply (more than 256 levels)"},
        {"deep binary", [](const std::string& p) { std::ofstream(p) << test::deep_binary_plist(300); },
         "nested too deeply (more than 256 levels)"},
        {"damaged", [](const std::string& p) { std::ofstream(p) << "<plist version=\"1.0\"><dict><key>A</key>"; },
         "damaged XML property list"},
        {"no dictionary", [](const std::string& p) { std::ofstream(p) << test::deep_xml_plist(3); },
         "its root is no dictionary"},
        {"a folder", [](const std::string& p) { std::filesystem::create_directory(p); }, "not a regular file"},
        {"too large", [](const std::string& p) { test::make_sparse_file(p, std::uintmax_t{17} << 20); },
         "too large (17825792 bytes, at most 16777216)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string path = (dir / "defaults.plist").string();
        c.make(path);
        UserDefaults d(path);
        testing::internal::CaptureStderr();
        EXPECT_EQ(d.doubleForKey("TiffXResolution"), 0.0);
        const std::string log = testing::internal::GetCapturedStderr();
        std::vector<std::filesystem::path> aside;
        for (const auto& e : std::filesystem::directory_iterator(dir.path())) aside.push_back(e.path());
        ASSERT_EQ(aside.size(), 1u);
        EXPECT_EQ(aside[0].filename().string().rfind("defaults.plist.unreadable-", 0), 0u) << aside[0];
        EXPECT_NE(log.find("Defaults file not read, set aside as " + aside[0].string()), std::string::npos) << log;
        EXPECT_NE(log.find(c.reason), std::string::npos) << log;
        const std::optional<std::string> note = d.takeUnreadableFileNote();
        ASSERT_TRUE(note);
        EXPECT_NE(note->find(aside[0].string()), std::string::npos);
        EXPECT_NE(note->find(c.reason), std::string::npos);
        EXPECT_FALSE(d.takeUnreadableFileNote());
        d.setBool("NoCFA", true);
        ASSERT_TRUE(d.synchronize());
        EXPECT_TRUE(UserDefaults(path).boolForKey("NoCFA"));
    }
    // A readable file and a missing one are no trouble.
    TempDir dir;
    UserDefaults missing((dir / "none.plist").string());
    EXPECT_FALSE(missing.takeUnreadableFileNote());
}

// Each kind of file read whole is read at exactly its size limit and refused
// one byte beyond it, with the sizes in the reason.
TEST(RegularFile, EachKindIsReadAtItsLimitAndRefusedOneByteBeyond) {
    const struct {
        const char* kind;
        std::size_t limit;
        std::uintmax_t expected;
    } kinds[] = {
        {"settings, presets, lists", kSettingsFileMaxBytes, 4194304},
        {"defaults", kDefaultsFileMaxBytes, 16777216},
        {"profiles", kProfileFileMaxBytes, 67108864},
        {"references, TI3 files, patch lists", kReferenceFileMaxBytes, 33554432},
    };
    TempDir dir;
    const std::string path = (dir / "file").string();
    for (const auto& k : kinds) {
        SCOPED_TRACE(k.kind);
        EXPECT_EQ(k.limit, k.expected);
        ASSERT_TRUE(test::make_sparse_file(path, k.expected));
        RegularFileRead at = read_regular_file(path, k.limit);
        ASSERT_TRUE(at) << at.error;
        EXPECT_EQ(at.bytes->size(), k.expected);
        at.bytes.reset();
        ASSERT_TRUE(test::make_sparse_file(path, k.expected + 1));
        const RegularFileRead beyond = read_regular_file(path, k.limit);
        EXPECT_FALSE(beyond);
        EXPECT_EQ(beyond.error, path + ": too large (" + std::to_string(k.expected + 1) + " bytes, at most " +
                                    std::to_string(k.expected) + ")");
        EXPECT_EQ(beyond.errnum, 0);
    }
}

// Property lists nested within the limit parse, in both forms; beyond it, or
// holding themselves, they never reach the parser.
TEST(PlistRead, NestingIsCheckedBeforeParsing) {
    for (const std::string& data : {test::deep_xml_plist(255), test::deep_binary_plist(256)}) {
        plist_t p = plist_read(data);
        ASSERT_TRUE(p);
        EXPECT_EQ(plist_get_node_type(p), PLIST_ARRAY);
        plist_free(p);
    }
    std::string why;
    EXPECT_FALSE(plist_read(test::deep_xml_plist(256), &why));
    EXPECT_EQ(why, "nested too deeply (more than 256 levels)");
    EXPECT_FALSE(plist_read(test::deep_binary_plist(257), &why));
    EXPECT_EQ(why, "nested too deeply (more than 256 levels)");
    EXPECT_FALSE(plist_read(test::self_holding_binary_plist(), &why));
    EXPECT_EQ(why, "damaged binary property list");
    // Comments, declarations and attribute values hold no elements.
    EXPECT_FALSE(plist_nesting_problem("<?xml version=\"1.0\"?><!DOCTYPE plist [<!ENTITY a \"<b>\">]>"
                                       "<plist a=\"<x>\"><!-- <array><array> --><dict><key>k</key><string><![CDATA[<a><a>"
                                       "]]></string></dict></plist>",
                                       3));
    EXPECT_TRUE(plist_nesting_problem("<plist><array><array><array/></array></array></plist>", 2));
    // Text the reader would not take as a property list (settings text, a raw
    // file's bytes) is not weighed, however many '<' it holds.
    EXPECT_FALSE(plist_nesting_problem("comment " + std::string(300, '<') + "<array>", 2));
}

// libplist's XML reader compares each key of a dictionary with the different
// keys before it: 4472 keys (9,997,156 comparisons) are read, 4473
// (10,001,628) are not, nor two dictionaries that pass alone but not
// together. Repeated keys and keys in comments cost nothing.
TEST(PlistRead, DictionariesOfTooManyKeysAreRefusedBeforeParsing) {
    const auto dict = [](int keys, const std::string& prefix, bool same = false) {
        std::string text = "<dict>";
        for (int i = 0; i < keys; ++i)
            text += "<key>" + prefix + (same ? std::string() : std::to_string(i)) + "</key><true/>";
        return text + "</dict>";
    };
    const auto plist = [](const std::string& body) { return "<plist version=\"1.0\">" + body + "</plist>"; };
    const struct {
        const char* what;
        std::string data;
        bool refused;
    } cases[] = {
        {"4472 keys", plist(dict(4472, "k")), false},
        {"4473 keys", plist(dict(4473, "k")), true},
        {"4473 keys, one of them empty", plist(dict(4472, "k").insert(6, "<key/><true/>")), true},
        {"two of 3163 keys", plist("<array>" + dict(3163, "a") + dict(3163, "b") + "</array>"), true},
        {"two of 3162 keys", plist("<array>" + dict(3162, "a") + dict(3162, "b") + "</array>"), false},
        {"a key repeated 20000 times", plist(dict(20000, "k", true)), false},
        {"keys in a comment", plist("<dict><!--" + dict(5000, "k") + "--></dict>"), false},
    };
    for (const auto& c : cases) {
        const std::optional<std::string> problem = plist_nesting_problem(c.data);
        EXPECT_EQ(problem.has_value(), c.refused) << c.what;
        if (c.refused) {
            EXPECT_EQ(*problem, "too many keys in its dictionaries") << c.what;
        }
        std::string why;
        plist_t p = plist_read(c.data, &why);
        EXPECT_EQ(p == nullptr, c.refused) << c.what << ": " << why;
        if (p) plist_free(p);
    }
}

TEST(UserDefaults, PathFollowsXdgConfigHome) {
    EnvGuard g("XDG_CONFIG_HOME", "/x/cfg");
    EXPECT_EQ(defaultsFilePath(), "/x/cfg/DVK/defaults.plist");
    EnvGuard g2("XDG_CONFIG_HOME", nullptr);
    EnvGuard h("HOME", "/home/u");
    EXPECT_EQ(defaultsFilePath(), "/home/u/.config/DVK/defaults.plist");
}

TEST(Folders, ApplicationSupport) {
    {
        EnvGuard g("XDG_DATA_HOME", "/data/");
        EXPECT_EQ(applicationSupportFolder(), "/data/DVK");
    }
    {
        EnvGuard g("XDG_DATA_HOME", nullptr);
        EnvGuard h("HOME", "/home/u");
        EXPECT_EQ(applicationSupportFolder(), "/home/u/.local/share/DVK");
    }
    {
        EnvGuard g("XDG_DATA_HOME", nullptr);
        EnvGuard h("HOME", nullptr);
        EnvGuard t("TMPDIR", "/scratch/");
        EXPECT_EQ(userApplicationSupportFolder(), "/scratch");
    }
}

}  // namespace
}  // namespace dvk
