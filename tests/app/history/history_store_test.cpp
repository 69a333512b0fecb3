// The history store: connections per thread, whole transactions under
// concurrent writers, typed values, and files it must leave alone.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <latch>
#include <set>
#include <thread>

#include "app/history/history_store.h"
#include "tests/support/test_files.h"
#include "tests/support/test_paths.h"

namespace dvk {
namespace {

using test::read_file;
using test::TempDir;

HistoryMO record(const std::string& source, double date) {
    HistoryMO r;
    r.setValueForKey("sourceFile", source);
    r.setValueForKey("camera", "Canon EOS Kiss X4");
    r.setValueForKey("creationDate", date);
    return r;
}

TEST(HistoryStore, EachThreadHasItsOwnConnectionAndKeepsIt) {
    TempDir dir;
    HistoryStore store((dir / "DVK2.db").string());
    ASSERT_TRUE(store.isOpen()) << store.openError();
    sqlite3* mine = store.connection();
    EXPECT_EQ(store.connection(), mine);
    sqlite3* a = nullptr;
    sqlite3* b = nullptr;
    sqlite3* a2 = nullptr;
    // Both threads hold their connections at the same time (a connection
    // ends with its thread).
    std::latch both(2);
    std::thread ta([&] {
        a = store.connection();
        both.arrive_and_wait();
        a2 = store.connection();
    });
    std::thread tb([&] {
        b = store.connection();
        both.arrive_and_wait();
    });
    ta.join();
    tb.join();
    EXPECT_NE(a, nullptr);
    EXPECT_EQ(a, a2);
    EXPECT_NE(a, b);
    EXPECT_NE(a, mine);
    EXPECT_NE(b, mine);
}

TEST(HistoryStore, FourThreadsWriting200RecordsAtOnceLoseNone) {
    TempDir dir;
    HistoryStore store((dir / "DVK2.db").string());
    ASSERT_TRUE(store.isOpen());
    std::atomic<int> commits{0};
    store.addObserver([&] { ++commits; });
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 50; ++i) {
                HistoryMO r = record("/t" + std::to_string(t) + "/" + std::to_string(i), t * 1000 + i);
                if (!store.write([&](HistoryStore::Transaction& tx) { return tx.insert(r); })) ++failures;
            }
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(commits.load(), 200);
    std::vector<HistoryMO> all = store.fetchAll();
    ASSERT_EQ(all.size(), 200u);
    std::set<std::string> sources;
    for (const auto& r : all) sources.insert(r.sourceFile());
    EXPECT_EQ(sources.size(), 200u);
    // Newest first.
    EXPECT_EQ(all.front().sourceFile(), "/t3/49");
    EXPECT_EQ(all.back().sourceFile(), "/t0/0");
}

TEST(HistoryStore, TypedValuesRoundTripAndAFailedTransactionKeepsNothing) {
    TempDir dir;
    HistoryStore store((dir / "DVK2.db").string());
    HistoryMO r = record("/a/x.CR2", 1.5e9 + 0.25);
    r.setValueForKey("reservedInt2", 2030);
    r.setValueForKey("uplab", 1);            // stored as a boolean
    r.setValueForKey("exposure", "-0.35");    // text of a number
    r.setValueForKey("comment", "tab\there");
    ASSERT_TRUE(store.write([&](auto& t) { return t.insert(r); }));
    ASSERT_NE(r.objectID(), 0);
    std::optional<HistoryMO> back = store.fetch(r.objectID());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->valueForKey("reservedInt2"), SettingsValue(2030LL));
    EXPECT_EQ(back->valueForKey("uplab"), SettingsValue(true));
    EXPECT_EQ(back->valueForKey("exposure"), SettingsValue(-0.35));
    EXPECT_EQ(back->creationDate(), 1.5e9 + 0.25);
    EXPECT_EQ(back->comment(), "tab\there");
    EXPECT_TRUE(back->valueForKey("filterName").is_null());

    // A later failure in the same transaction takes the earlier insert back with it.
    std::string error;
    HistoryMO second = record("/a/y.CR2", 2e9);
    HistoryMO ghost = record("/a/ghost", 3e9);
    ghost.setObjectID(987654);
    EXPECT_FALSE(store.write([&](auto& t) { return t.insert(second) && t.update(ghost); }, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(store.fetchAll().size(), 1u);
}

TEST(HistoryStore, UnicodeFoldingInSql) {
    TempDir dir;
    HistoryStore store((dir / "DVK2.db").string());
    ASSERT_TRUE(store.write([&](auto& t) {
        HistoryMO a = record("/x/Café.NEF", 1), b = record("/x/CAFE.nef", 2), c = record("/x/cafe.tif", 3);
        return t.insert(a) && t.insert(b) && t.insert(c);
    }));
    auto found = store.fetchWhere("dvk_fold(sourceFile, 3) LIKE '%' || dvk_fold(?, 3)", {SettingsValue("cafe.nef")});
    ASSERT_EQ(found.size(), 2u);
    auto exact = store.fetchWhere("dvk_fold(sourceFile, 1) = dvk_fold(?, 1)", {SettingsValue("/X/CAFÉ.NEF")});
    ASSERT_EQ(exact.size(), 1u);
    EXPECT_EQ(exact.front().sourceFile(), "/x/Café.NEF");
}

// A store opened for reading only (a store the user may only read): its
// records read, every write refused, the file as it was, and no log files
// made beside it (SQLite would make them with the store's read-only mode,
// refusing every writer once the user makes the store writable again). A
// writer's records show in the next read.
TEST(HistoryStore, ReadOnlyReadsAndNeverWrites) {
    namespace fs = std::filesystem;
    TempDir dir;
    const auto path = dir / "DVK2.db";
    {
        HistoryStore store(path.string());
        HistoryMO r = record("/a.dng", 1);
        ASSERT_TRUE(store.write([&](auto& t) { return t.insert(r); }));
    }
    ASSERT_FALSE(fs::exists(dir / "DVK2.db-wal"));
    fs::permissions(path, fs::perms(0444));
    const std::string before = read_file(path);
    {
        HistoryStore store(path.string(), {.readOnly = true});
        ASSERT_TRUE(store.isOpen()) << store.openError();
        EXPECT_TRUE(store.isReadOnly());
        const std::vector<HistoryMO> all = store.fetchAll();
        ASSERT_EQ(all.size(), 1u);
        EXPECT_EQ(all[0].sourceFile(), "/a.dng");
        HistoryMO r = record("/b.dng", 2);
        std::string error;
        EXPECT_FALSE(store.write([&](auto& t) { return t.insert(r); }, &error));
        EXPECT_NE(error.find("readonly"), std::string::npos) << error;
        EXPECT_EQ(store.fetchAll().size(), 1u);
        for (const char* made : {"DVK2.db-wal", "DVK2.db-shm", "DVK2.db-journal"})
            EXPECT_FALSE(fs::exists(dir / made)) << made;
    }
    EXPECT_EQ(read_file(path), before);

    fs::permissions(path, fs::perms(0644));
    HistoryStore store(path.string(), {.readOnly = true});
    ASSERT_EQ(store.fetchAll().size(), 1u);
    const auto add = [&](const std::string& source, double date) {
        HistoryStore writer(path.string());
        ASSERT_FALSE(writer.isReadOnly());
        HistoryMO c = record(source, date);
        ASSERT_TRUE(writer.write([&](auto& t) { return t.insert(c); }));
    };
    // A writer that came and went folded its log into the file: read as it is now.
    add("/c.dng", 3);
    ASSERT_FALSE(fs::exists(dir / "DVK2.db-wal"));
    std::vector<HistoryMO> now;
    std::thread([&] { now = store.fetchAll(); }).join();
    ASSERT_EQ(now.size(), 2u);
    EXPECT_EQ(now.front().sourceFile(), "/c.dng");
    EXPECT_EQ(store.fetchAll().size(), 2u);
    // A writer at work: read through its log.
    {
        HistoryStore writer(path.string());
        HistoryMO d = record("/d.dng", 4);
        ASSERT_TRUE(writer.write([&](auto& t) { return t.insert(d); }));
        now = store.fetchAll();
        ASSERT_EQ(now.size(), 3u);
        EXPECT_EQ(now.front().sourceFile(), "/d.dng");
    }

    // Nothing to read is not made.
    HistoryStore none((dir / "none.db").string(), {.readOnly = true});
    EXPECT_FALSE(none.isOpen());
    EXPECT_FALSE(fs::exists(dir / "none.db"));
}

TEST(HistoryStore, AFileThatIsNoStoreStaysClosedAndUntouched) {
    TempDir dir;
    const auto path = dir / "DVK2.db";
    {
        std::ofstream out(path, std::ios::binary);
        for (int i = 0; i < 3000; ++i) out << "not a database " << i << "\n";
    }
    const std::string before = read_file(path);
    {
        HistoryStore store(path.string(), {.busyTimeoutMs = 100});
        EXPECT_FALSE(store.isOpen());
        EXPECT_NE(store.openError().find("not a database"), std::string::npos) << store.openError();
        EXPECT_TRUE(store.fetchAll().empty());
        HistoryMO r = record("/a", 1);
        std::string error;
        EXPECT_FALSE(store.write([&](auto& t) { return t.insert(r); }, &error));
        EXPECT_NE(error.find("not open"), std::string::npos);
        EXPECT_EQ(store.connection(), nullptr);
    }
    EXPECT_EQ(read_file(path), before);
    EXPECT_FALSE(std::filesystem::exists(dir / "DVK2.db-wal"));
}

TEST(HistoryStore, ADamagedStoreIsClosedWhenOpenedOrWhenFoundAndLeftAsItIs) {
    TempDir dir;
    const auto path = dir / "DVK2.db";
    {
        HistoryStore store(path.string());
        ASSERT_TRUE(store.write([](auto& t) {
            for (int i = 0; i < 3000; ++i) {
                HistoryMO r = record("/photos/f" + std::to_string(i) + ".CR2", i);
                if (!t.insert(r)) return false;
            }
            return true;
        }));
    }
    // Found when the store is used: closed from then on, told once.
    {
        HistoryStore store(path.string());
        ASSERT_TRUE(store.isOpen()) << store.openError();
        std::vector<std::string> told;
        store.setDamageHandler([&told](const std::string& error) { told.push_back(error); });
        test::damage_blocks(path, 20, 10);
        // A new connection reads the pages from the file.
        std::thread([&] {
            std::string error;
            EXPECT_TRUE(store.fetchAll(&error).empty());
            EXPECT_TRUE(store.fetchAll().empty());
        }).join();
        ASSERT_EQ(told.size(), 1u);
        EXPECT_NE(told[0].find("malformed"), std::string::npos) << told[0];
        EXPECT_FALSE(store.isOpen());
        EXPECT_EQ(store.openError(), told[0]);
        HistoryMO r = record("/a", 1);
        EXPECT_FALSE(store.write([&](auto& t) { return t.insert(r); }));
    }
    // Found by the check at opening: nothing read as an empty history, nothing written.
    const std::string before = read_file(path);
    {
        HistoryStore store(path.string());
        EXPECT_FALSE(store.isOpen());
        EXPECT_NE(store.openError().find("database disk image is malformed"), std::string::npos)
            << store.openError();
        HistoryMO r = record("/a", 1);
        EXPECT_FALSE(store.write([&](auto& t) { return t.insert(r); }));
    }
    EXPECT_EQ(read_file(path), before);
}

TEST(HistoryStore, AStoreLockedByAnotherWriterFailsToOpenAndIsKept) {
    TempDir dir;
    const auto path = (dir / "DVK2.db").string();
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "CREATE TABLE t(x); BEGIN EXCLUSIVE; INSERT INTO t VALUES(1);", nullptr, nullptr,
                           nullptr),
              SQLITE_OK);
    {
        HistoryStore store(path, {.busyTimeoutMs = 50});
        EXPECT_FALSE(store.isOpen());
        EXPECT_NE(store.openError().find("locked"), std::string::npos) << store.openError();
    }
    sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    HistoryStore store(path);
    EXPECT_TRUE(store.isOpen()) << store.openError();
}

}  // namespace
}  // namespace dvk
