#include "app/history/history_migration.h"

#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <random>
#include <vector>

#include "platform/folder_functions.h"
#include "platform/log.h"

namespace dvk {

const char* const kVersion1Keys[22] = {
    "blurAB",        "brightness", "camera",        "comment",         "copyTags",       "creationDate",
    "destinationFile", "evBlue",   "evGreen",       "evGreen2",        "evRed",          "exposure",
    "gamma",         "highRecoveryEV", "highRecoveryEnabled", "interpolation", "manualGreen2", "saturation",
    "saveFormat",    "sourceFile", "uplab",         "version",
};

namespace {

struct DbCloser {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct StmtFinalizer {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};

SettingsValue column_value(sqlite3_stmt* st, int column) {
    switch (sqlite3_column_type(st, column)) {
        case SQLITE_INTEGER:
            return SettingsValue(static_cast<long long>(sqlite3_column_int64(st, column)));
        case SQLITE_FLOAT:
            return SettingsValue(sqlite3_column_double(st, column));
        case SQLITE_TEXT:
            return SettingsValue(std::string(reinterpret_cast<const char*>(sqlite3_column_text(st, column)),
                                             static_cast<std::size_t>(sqlite3_column_bytes(st, column))));
        default:
            return SettingsValue();
    }
}

std::string unique_suffix() {
    std::random_device rd;
    std::mt19937_64 gen((static_cast<std::uint64_t>(rd()) << 32) ^ rd() ^
                        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    char buf[64];
    std::snprintf(buf, sizeof buf, "%016llX-%d", static_cast<unsigned long long>(gen()), static_cast<int>(getpid()));
    return buf;
}

// Reads every record of the old table; false with a message when the file is
// no version 1 store.
bool read_version1(const std::string& path, std::vector<HistoryMO>* records, std::string* error) {
    sqlite3* raw = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
    std::unique_ptr<sqlite3, DbCloser> db(raw);
    if (rc != SQLITE_OK) {
        *error = raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc);
        return false;
    }
    // A double-quoted name is a column, never a string when no column has it:
    // a table without one of the old columns fails here.
    sqlite3_db_config(db.get(), SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    std::string sql = "SELECT \"sCurveType\", \"contrast\"";
    for (const char* key : kVersion1Keys) sql += std::string(", \"") + key + "\"";
    sql += " FROM History ORDER BY rowid";
    sqlite3_stmt* st_raw = nullptr;
    if (sqlite3_prepare_v2(db.get(), sql.c_str(), -1, &st_raw, nullptr) != SQLITE_OK) {
        *error = sqlite3_errmsg(db.get());
        sqlite3_finalize(st_raw);
        return false;
    }
    std::unique_ptr<sqlite3_stmt, StmtFinalizer> st(st_raw);
    while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
        HistoryMO r;
        for (int i = 0; i < 22; ++i) r.setValueForKey(kVersion1Keys[i], column_value(st.get(), i + 2));
        r.setValueForKey("curveType", column_value(st.get(), 0));
        // Version 1 keeps local contrast in the hundredths of its contrast.
        double c = sqlite3_column_double(st.get(), 1);
        double whole = std::floor(c);
        r.setValueForKey("contrast", whole);
        r.setValueForKey("localContrast", std::rint((c - whole) * 100));
        records->push_back(std::move(r));
    }
    if (rc != SQLITE_DONE) {
        *error = sqlite3_errmsg(db.get());
        return false;
    }
    return true;
}

}  // namespace

HistoryMigration migrateHistoryVer1ToVer2(HistoryStore& store, const std::string& version1Path) {
    HistoryMigration result;
    if (!exists_at(version1Path)) return result;
    std::vector<HistoryMO> records;
    if (!read_version1(version1Path, &records, &result.error)) {
        log_line("Ver1 to Ver2 migration error: %s: %s", version1Path.c_str(), result.error.c_str());
        return result;
    }
    result.found = true;
    bool ok = store.write(
        [&](HistoryStore::Transaction& t) {
            for (HistoryMO& r : records)
                if (!t.insert(r)) return false;
            return true;
        },
        &result.error);
    if (!ok) {
        log_line("Ver1 to Ver2 migration error: %s", result.error.c_str());
        return result;
    }
    result.copied = true;
    result.records = static_cast<int>(records.size());
    std::string target = version1Path + "." + unique_suffix();
    int rc = std::rename(version1Path.c_str(), target.c_str());
    log_line("%s rename rc:%d", version1Path.c_str(), rc);
    if (rc == 0) result.renamedTo = target;
    return result;
}

}  // namespace dvk
