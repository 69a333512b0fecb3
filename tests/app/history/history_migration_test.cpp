// The one-time copy of a version 1 history into the store.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/history/history_migration.h"
#include "tests/support/test_paths.h"

namespace dvk {
namespace {

using test::TempDir;
namespace fs = std::filesystem;

// A version 1 store with one record per contrast value.
void make_version1(const fs::path& path, const std::vector<double>& contrasts) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    std::string columns = "sCurveType INTEGER, contrast REAL";
    for (const char* key : kVersion1Keys) columns += std::string(", \"") + key + "\"";
    ASSERT_EQ(sqlite3_exec(db, ("CREATE TABLE History (" + columns + ")").c_str(), nullptr, nullptr, nullptr),
              SQLITE_OK);
    for (std::size_t i = 0; i < contrasts.size(); ++i) {
        std::string sql = "INSERT INTO History (sCurveType, contrast, sourceFile, camera, exposure, creationDate, "
                          "uplab, version) VALUES (3, " +
                          std::to_string(contrasts[i]) + ", '/old/" + std::to_string(i) +
                          ".CR2', 'Canon EOS 20D', -0.5, 1.2e9, 1, 7)";
        ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    }
    sqlite3_close(db);
}

TEST(HistoryMigration, CopiesOnceWithContrastSplitThenRenamesTheOldStore) {
    TempDir dir;
    make_version1(dir / "DVK.db", {2.35, 3.0});
    HistoryStore store((dir / "DVK2.db").string());
    HistoryMigration m = migrateHistoryVer1ToVer2(store, (dir / "DVK.db").string());
    EXPECT_TRUE(m.found && m.copied);
    EXPECT_EQ(m.records, 2);
    EXPECT_FALSE(fs::exists(dir / "DVK.db"));
    EXPECT_TRUE(fs::exists(m.renamedTo));
    EXPECT_EQ(fs::path(m.renamedTo).parent_path(), dir.path());

    std::vector<HistoryMO> all = store.fetchAll();
    ASSERT_EQ(all.size(), 2u);
    std::map<std::string, const HistoryMO*> by_source;
    for (const auto& r : all) by_source[r.sourceFile()] = &r;
    const HistoryMO& first = *by_source.at("/old/0.CR2");
    EXPECT_EQ(first.valueForKey("contrast").double_value(), 2.0);
    EXPECT_EQ(first.valueForKey("localContrast").double_value(), 35.0);
    EXPECT_EQ(first.valueForKey("curveType").int_value(), 3);
    EXPECT_EQ(first.valueForKey("exposure").double_value(), -0.5);
    EXPECT_EQ(first.valueForKey("uplab"), SettingsValue(true));
    EXPECT_EQ(first.valueForKey("version").int_value(), 7);
    EXPECT_EQ(first.camera(), "Canon EOS 20D");
    const HistoryMO& second = *by_source.at("/old/1.CR2");
    EXPECT_EQ(second.valueForKey("contrast").double_value(), 3.0);
    EXPECT_EQ(second.valueForKey("localContrast").double_value(), 0.0);

    // The next start finds nothing to copy.
    HistoryMigration again = migrateHistoryVer1ToVer2(store, (dir / "DVK.db").string());
    EXPECT_FALSE(again.found);
    EXPECT_EQ(store.fetchAll().size(), 2u);
}

TEST(HistoryMigration, AFailedCommitKeepsTheOldStoreForTheNextStart) {
    TempDir dir;
    make_version1(dir / "DVK.db", {1.5});
    HistoryStore store((dir / "DVK2.db").string(), {.busyTimeoutMs = 50});
    ASSERT_TRUE(store.isOpen());
    // Another writer holds the store: the copy cannot be committed.
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open((dir / "DVK2.db").c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    HistoryMigration m = migrateHistoryVer1ToVer2(store, (dir / "DVK.db").string());
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_TRUE(m.found);
    EXPECT_FALSE(m.copied);
    EXPECT_FALSE(m.error.empty());
    EXPECT_TRUE(fs::exists(dir / "DVK.db"));
    EXPECT_TRUE(store.fetchAll().empty());

    HistoryMigration retry = migrateHistoryVer1ToVer2(store, (dir / "DVK.db").string());
    EXPECT_TRUE(retry.copied);
    EXPECT_EQ(store.fetchAll().size(), 1u);
}

TEST(HistoryMigration, AFileWithoutTheOldTableIsLeftAlone) {
    TempDir dir;
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((dir / "DVK.db").c_str(), &db), SQLITE_OK);
    // A "History" table lacking the old contrast column.
    sqlite3_exec(db, "CREATE TABLE History (sourceFile TEXT, sCurveType INTEGER)", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    HistoryStore store((dir / "DVK2.db").string());
    HistoryMigration m = migrateHistoryVer1ToVer2(store, (dir / "DVK.db").string());
    EXPECT_FALSE(m.found);
    EXPECT_TRUE(fs::exists(dir / "DVK.db"));
    EXPECT_TRUE(store.fetchAll().empty());
}

}  // namespace
}  // namespace dvk
