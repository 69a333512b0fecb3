// Whole programs: dvk's start-up log and quitting when idle, the migration at
// start, a damaged store, and the dvk-history tool on copies of the Canon DNG.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "app/history/history_migration.h"
#include "app/history/history_store.h"
#include "app/desktop/startup_log.h"
#include "tests/support/hostile_files.h"
#include "tests/support/run_command.h"
#include "tests/support/test_files.h"
#include "tests/support/test_paths.h"

namespace dvk::test {
namespace {

namespace fs = std::filesystem;

// A home of XDG folders for one run of the programs.
struct Home {
    TempDir dir;
    fs::path support() const { return dir.path() / "data" / "DVK"; }
    fs::path log() const { return support() / "DVK.log"; }
    fs::path oldLog() const { return support() / "DVK_old.log"; }

    // Runs a program of build/bin with the home's folders; `env` adds
    // variables ("A=1 B=2"), `args` are quoted already.
    // `as` comes first on the command line (another user's: "setpriv ...").
    CommandRun run(const std::string& program, const std::string& env, const std::string& args = "",
                   const std::string& as = "") const {
        const fs::path err = dir.path() / "stderr.txt";
        std::string line = as + "env -u DVK_NO_REDIRECT XDG_DATA_HOME=" + shell_quoted((dir.path() / "data").string()) +
                           " XDG_CONFIG_HOME=" + shell_quoted((dir.path() / "config").string()) +
                           " QT_QPA_PLATFORM=offscreen " + env + " timeout 60 " +
                           shell_quoted(std::string(DVK_BINARY_DIR) + "/bin/" + program) + " " + args + " 2>" +
                           shell_quoted(err.string());
        CommandRun r = run_command(line);
        r.err = read_file(err);
        return r;
    }
    CommandRun dvk(const std::string& env = "", const std::string& args = "") const {
        return run("dvk", "DVK_DEV_QUIT_IDLE=1 DVK_DEV_ALERTS=first " + env, args);
    }
    CommandRun history(const std::string& args) const { return run("dvk-history", "", args); }
};

TEST(DvkStart, LogsIntoTheSupportFolderAndRotatesAbove524288Bytes) {
    Home home;
    // First start: no log yet, which is no error: nothing about it on the terminal.
    CommandRun first = home.dvk();
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(first.err.find("DVK.log"), std::string::npos) << first.err;
    EXPECT_EQ(first.err.find("stat()"), std::string::npos) << first.err;
    std::string log = read_file(home.log());
    EXPECT_EQ(log.rfind("DVK 0.", 0), 0u) << log;
    EXPECT_NE(log.find(") started\n"), std::string::npos);
    EXPECT_NE(log.find("DVK quit\n"), std::string::npos);
    EXPECT_EQ(log.find("stat()"), std::string::npos);
    // No word about a platform check this system has no need of.
    EXPECT_EQ(log.find("failed"), std::string::npos) << log;
    EXPECT_TRUE(fs::exists(home.support() / "DVK2.db"));

    // Exactly the bound: stays and grows.
    std::ofstream(home.log(), std::ios::binary | std::ios::trunc) << std::string(kLogRotationBytes, 'a');
    std::ofstream(home.oldLog(), std::ios::binary) << "older";
    ASSERT_EQ(home.dvk().status, 0);
    EXPECT_GT(fs::file_size(home.log()), std::uintmax_t(kLogRotationBytes));
    EXPECT_EQ(read_file(home.oldLog()), "older");

    // One byte more: moved aside, replacing the older one, and a new log begins.
    std::ofstream(home.log(), std::ios::binary | std::ios::trunc) << std::string(kLogRotationBytes + 1, 'b');
    ASSERT_EQ(home.dvk().status, 0);
    EXPECT_EQ(fs::file_size(home.oldLog()), std::uintmax_t(kLogRotationBytes + 1));
    log = read_file(home.log());
    EXPECT_EQ(log.rfind("DVK 0.", 0), 0u);
    EXPECT_LT(log.size(), 4096u);
}

TEST(DvkStart, AFileNamedOnTheCommandLineThatDoesNotExistIsSaidOnStandardError) {
    Home home;
    const std::string typo = (home.dir / "typo.dng").string();
    const CommandRun run = home.run("dvk", "DVK_DEV_QUIT_IDLE=1 DVK_DEV_ALERTS=first", shell_quoted(typo));
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.err.find("DVK: File not found: " + typo + "\n"), std::string::npos) << run.err;
    EXPECT_NE(read_file(home.log()).find("File not found: " + typo + "\n"), std::string::npos);
}

TEST(DvkStart, AnUnreadableDefaultsFileIsSetAsideAndTheProgramStartsWithDefaults) {
    Home home;
    const fs::path config = home.dir.path() / "config" / "DVK";
    fs::create_directories(config);
    std::ofstream(config / "defaults.plist") << deep_xml_plist(200000);
    const CommandRun run = home.dvk();
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string log = read_file(home.log());
    EXPECT_NE(log.find("Alert Defaults file set aside The defaults file could not be read ("), std::string::npos) << log;
    EXPECT_NE(log.find("nested too deeply (more than 256 levels)"), std::string::npos);
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(config)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    ASSERT_EQ(names.size(), 2u) << ::testing::PrintToString(names);
    EXPECT_EQ(names[0], "defaults.plist");  // written anew
    EXPECT_EQ(names[1].rfind("defaults.plist.unreadable-", 0), 0u);
    EXPECT_EQ(fs::file_size(config / names[1]), deep_xml_plist(200000).size());
}

TEST(DvkStart, NoRedirectOnlyForExactlyOne) {
    Home home;
    CommandRun kept = home.dvk("DVK_NO_REDIRECT=1");
    ASSERT_EQ(kept.status, 0);
    EXPECT_FALSE(fs::exists(home.log()));
    EXPECT_EQ(kept.err.find("started"), std::string::npos);
    EXPECT_NE(kept.err.find("DVK quit"), std::string::npos);  // on the terminal

    CommandRun redirected = home.dvk("DVK_NO_REDIRECT='1 '");
    ASSERT_EQ(redirected.status, 0);
    EXPECT_NE(read_file(home.log()).find(") started\n"), std::string::npos);
    EXPECT_EQ(redirected.err.find("DVK quit"), std::string::npos);
}

TEST(DvkStart, MigratesAVersion1HistoryOnceAndRunsOnAGarbageStoreLeavingItAlone) {
    Home home;
    fs::create_directories(home.support());
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open((home.support() / "DVK.db").c_str(), &db), SQLITE_OK);
        std::string columns = "sCurveType, contrast";
        for (const char* key : kVersion1Keys) columns += std::string(", ") + key;
        std::string sql = "CREATE TABLE History (" + columns +
                          "); INSERT INTO History (sCurveType, contrast, sourceFile, camera, creationDate) "
                          "VALUES (1, 2.35, '/old/x.CR2', 'Canon EOS 20D', 1e9);";
        ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
    }
    ASSERT_EQ(home.dvk().status, 0);
    ASSERT_EQ(home.dvk().status, 0);
    EXPECT_FALSE(fs::exists(home.support() / "DVK.db"));
    CommandRun list = home.history("list");
    ASSERT_EQ(list.status, 0) << list.err;
    EXPECT_EQ(list.out, "id=1\tsourceFile=/old/x.CR2\tcamera=Canon EOS 20D\tcontrast=2\tlocalContrast=35\tcurveType=1"
                        "\tcreationDate=1000000000\n");
    EXPECT_NE(read_file(home.log()).find("DVK.db rename rc:0"), std::string::npos);

    // A store that is no database: the program starts, says so once and quits normally.
    Home garbage;
    fs::create_directories(garbage.support());
    const std::string junk(40000, 'j');
    std::ofstream(garbage.support() / "DVK2.db", std::ios::binary) << junk;
    CommandRun run = garbage.dvk();
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(read_file(garbage.support() / "DVK2.db"), junk);
    std::string log = read_file(garbage.log());
    EXPECT_NE(log.find("Alert The history could not be opened " + (garbage.support() / "DVK2.db").string() +
                       ": file is not a database"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("DVK quit"), std::string::npos);
}

TEST(DvkHistoryTool, AddListDefaultAndIsDefaultOnNestedCopies) {
    Home home;
    const fs::path photos = home.dir.path() / "photos";
    fs::create_directories(photos / "a" / "b");
    const fs::path canon = testdata_dir() / "raw" / "colorchart.dng";
    fs::copy_file(canon, photos / "a" / "b" / "x.dng");
    fs::create_symlink(canon, photos / "a" / "y.dng");
    const std::string x = shell_quoted((photos / "a" / "b" / "x.dng").string());
    const std::string y = shell_quoted((photos / "a" / "y.dng").string());
    const std::string a = (photos / "a").string() + "/";

    EXPECT_EQ(home.history("default " + x).status, 1);  // none yet
    CommandRun add =
        home.history("add " + x + " --source " + shell_quoted(a) + " --set hlRange=2.03 --set exposure=-0.5");
    ASSERT_EQ(add.status, 0) << add.err;
    EXPECT_NE(add.out.find("\tsourceFile=" + a + "\t"), std::string::npos);
    EXPECT_NE(add.out.find("\tcamera=Canon EOS Kiss X4\t"), std::string::npos);
    EXPECT_NE(add.out.find("\treservedInt2=2030\t"), std::string::npos);
    EXPECT_NE(add.out.find("\texposure=-0.5\t"), std::string::npos);
    ASSERT_EQ(home.history("add " + y + " --comment " + shell_quoted("own record")).status, 0);

    EXPECT_EQ(home.history("default " + x).out, a + "\n");
    EXPECT_EQ(home.history("default " + y).out, (photos / "a" / "y.dng").string() + "\n");
    // x opens with its folder's default, as in the window: unchanged, or
    // changed back to it, its settings are the default; another exposure not.
    EXPECT_EQ(home.history("is-default " + x).out, "yes\n");
    EXPECT_EQ(home.history("is-default " + x + " --set hlRange=2.03 --set exposure=-0.5").out, "yes\n");
    CommandRun no = home.history("is-default " + x + " --set exposure=0");
    EXPECT_EQ(no.out, "no\n");
    EXPECT_EQ(no.status, 1);

    CommandRun list = home.history("list");
    ASSERT_EQ(list.status, 0);
    ASSERT_EQ(std::count(list.out.begin(), list.out.end(), '\n'), 2);
    EXPECT_EQ(list.out.rfind("id=2\t", 0), 0u);  // newest first
    EXPECT_NE(list.out.find("\tcomment=own record\n"), std::string::npos);
    EXPECT_NE(list.out.find("\tgamma=2.2\t"), std::string::npos);

    EXPECT_EQ(home.history("default " + shell_quoted((home.dir.path() / "nothing.dng").string())).status, 2);
    EXPECT_EQ(home.history("add").status, 2);
    // Refused, with the reason, and nothing recorded.
    CommandRun notANumber = home.history("add " + x + " --set exposure=abc");
    EXPECT_EQ(notANumber.status, 2);
    EXPECT_NE(notANumber.err.find("--set exposure=abc: the setting exposure takes a number"), std::string::npos)
        << notANumber.err;
    CommandRun noSource = home.history("add " + x + " --source ''");
    EXPECT_EQ(noSource.status, 2);
    EXPECT_NE(noSource.err.find("--source is empty: a record needs a source"), std::string::npos) << noSource.err;
    EXPECT_EQ(home.history("list").out, list.out);
}

// The window's Add (the history window's button, through DVK_DEV_ACTIONS) and
// dvk-history add, each on its own history of the same file, record the same.
TEST(DvkHistoryTool, AddRecordsWhatTheWindowsAddRecords) {
    Home window, tool;
    const fs::path file = window.dir.path() / "x.dng";
    fs::copy_file(testdata_dir() / "raw" / "colorchart.dng", file);
    ASSERT_EQ(window.dvk("DVK_DEV_ACTIONS=addToHistory:", shell_quoted(file.string())).status, 0);
    ASSERT_EQ(tool.history("add " + shell_quoted(file.string())).status, 0);
    // Each list without its id and date.
    auto settings = [](const Home& home) {
        std::string line = home.history("list").out;
        line = line.substr(line.find('\t'));
        const std::size_t date = line.find("\tcreationDate=");
        return line.erase(date, line.find('\t', date + 1) - date);
    };
    const std::string recorded = settings(window);
    EXPECT_EQ(settings(tool), recorded);
    EXPECT_NE(recorded.find("\tcomment=Action: Manual\n"), std::string::npos) << recorded;
    EXPECT_NE(recorded.find("\tevGreen2=-0.00"), std::string::npos) << recorded;
    EXPECT_EQ(recorded.find("\tevRed=0\t"), std::string::npos) << recorded;
}

// A store that still opens but whose pages are damaged: said out loud, never
// written or deleted, and the tool fails with SQLite's error.
TEST(DvkStart, ADamagedStoreIsSaidOutLoudAndLeftAsItIs) {
    Home home;
    fs::create_directories(home.support());
    const fs::path store = home.support() / "DVK2.db";
    {
        HistoryStore history(store.string());
        ASSERT_TRUE(history.write([](HistoryStore::Transaction& t) {
            for (int i = 0; i < 3000; ++i) {
                HistoryMO r;
                r.setValueForKey("sourceFile", "/photos/f" + std::to_string(i) + ".CR2");
                r.setValueForKey("camera", "Canon EOS Kiss X4");
                r.setValueForKey("creationDate", 1e9 + i);
                if (!t.insert(r)) return false;
            }
            return true;
        }));
    }
    damage_blocks(store, 20, 10);
    const std::string before = read_file(store);
    const fs::path file = home.dir.path() / "x.dng";
    fs::copy_file(testdata_dir() / "raw" / "colorchart.dng", file);

    CommandRun run = home.dvk("DVK_DEV_ACTIONS='addToHistory: saveFile:'", shell_quoted(file.string()));
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(fs::exists(home.dir.path() / "x.tiff"));
    const std::string log = read_file(home.log());
    EXPECT_NE(log.find("Alert The history could not be opened " + store.string() +
                       ": database disk image is malformed"),
              std::string::npos)
        << log;
    EXPECT_EQ(read_file(store), before);

    for (const std::string& args : {std::string("list"), "add " + shell_quoted(file.string())}) {
        CommandRun tool = home.history(args);
        EXPECT_EQ(tool.status, 3) << args;
        EXPECT_NE(tool.err.find("dvk-history: " + store.string() + ": database disk image is malformed"),
                  std::string::npos)
            << tool.err;
    }
    EXPECT_EQ(read_file(store), before);
}

// dvk-history says why a file is no raw file of a known camera, and lists
// a store that the user may only read (in a folder the user may not write
// in) without writing anything.
TEST(DvkHistory, SaysWhyAFileIsRefusedAndListsAStoreItMayOnlyRead) {
    Home home;
    const std::string missing = (home.dir / "missing.dng").string();
    CommandRun run = home.history("add " + shell_quoted(missing));
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "dvk-history: " + missing + ": No such file or directory\n");
    const fs::path file = home.dir.path() / "x.dng";
    fs::copy_file(testdata_dir() / "raw" / "colorchart.dng", file);
    ASSERT_EQ(home.history("add " + shell_quoted(file.string())).status, 0);

    // Root may write anywhere: the list then runs as another user.
    std::string as;
    if (::geteuid() == 0) {
        if (!fs::exists("/usr/bin/setpriv")) GTEST_SKIP() << "no setpriv to run as another user";
        as = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
        fs::permissions(home.dir.path(), fs::perms(0755));
        fs::permissions(home.dir.path() / "data", fs::perms(0755));
    }
    const fs::path store = home.support() / "DVK2.db";
    ASSERT_FALSE(fs::exists(home.support() / "DVK2.db-wal"));
    fs::permissions(store, fs::perms(0444));
    fs::permissions(home.support(), fs::perms(0555));
    const std::string before = read_file(store);
    run = home.run("dvk-history", "", "list", as);
    fs::permissions(home.support(), fs::perms(0755));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.rfind("id=1\tsourceFile=" + file.string() + "\t", 0), 0u) << run.out;
    EXPECT_EQ(read_file(store), before);
}

// Reading the history changes nothing a later write needs: a store the user
// made read-only is listed, and once writable again it takes records; a full
// disk (no file may grow) still lets it be read. The tool says its own words
// and exit codes, never the window's alert.
TEST(DvkHistory, AReadLeavesTheStoreWritableAndWorksOnAFullDisk) {
    Home home;
    const fs::path file = home.dir.path() / "x.dng";
    fs::copy_file(testdata_dir() / "raw" / "colorchart.dng", file);
    fs::permissions(file, fs::perms(0644));
    ASSERT_EQ(home.history("add " + shell_quoted(file.string())).status, 0);
    const fs::path store = home.support() / "DVK2.db";
    ASSERT_FALSE(fs::exists(home.support() / "DVK2.db-wal"));

    // Root may write anywhere: this runs as another user, who owns the store.
    std::string as;
    if (::geteuid() == 0) {
        if (!fs::exists("/usr/bin/setpriv")) GTEST_SKIP() << "no setpriv to run as another user";
        as = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
        for (const fs::path& p : {home.dir.path(), home.dir.path() / "data"}) fs::permissions(p, fs::perms(0755));
        for (const fs::path& p : {home.support(), store, home.dir.path() / "config", home.dir.path() / "config" / "DVK"})
            if (fs::exists(p) && ::chown(p.c_str(), 65534, 65534) != 0) GTEST_SKIP() << "cannot give " << p;
        if (fs::exists(home.dir.path() / "config" / "DVK"))
            for (const auto& e : fs::directory_iterator(home.dir.path() / "config" / "DVK"))
                if (::chown(e.path().c_str(), 65534, 65534) != 0) GTEST_SKIP() << "cannot give " << e.path();
    }
    fs::permissions(store, fs::perms(0444));
    CommandRun run = home.run("dvk-history", "", "list", as);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.rfind("id=1\t", 0), 0u) << run.out;
    run = home.run("dvk-history", "", "add " + shell_quoted(file.string()), as);
    EXPECT_EQ(run.status, 3) << run.err;
    EXPECT_NE(run.err.find("dvk-history: " + store.string() + ": attempt to write a readonly database\n"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(run.err.find("Alert"), std::string::npos) << run.err;
    fs::permissions(store, fs::perms(0644));
    run = home.run("dvk-history", "", "add " + shell_quoted(file.string()), as);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.rfind("id=2\t", 0), 0u) << run.out;

    // No file may grow, as on a full disk (nor the file that takes standard
    // error: a write's failure shows in its exit code alone).
    const std::string full = "sh -c 'trap \"\" XFSZ; ulimit -f 0; exec \"$@\"' sh ";
    run = home.run("dvk-history", "", "list", as + full);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.rfind("id=2\tsourceFile=" + file.string() + "\t", 0), 0u) << run.out;
    run = home.run("dvk-history", "", "default " + shell_quoted(file.string()), as + full);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, file.string() + "\n");
    run = home.run("dvk-history", "", "add " + shell_quoted(file.string()), as + full);
    EXPECT_EQ(run.status, 3);
    run = home.run("dvk-history", "", "list", as);
    EXPECT_EQ(run.out.rfind("id=2\t", 0), 0u) << run.out;
}

}  // namespace
}  // namespace dvk::test
