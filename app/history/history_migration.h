// The one-time copy of a version 1 history ("DVK.db", table "History") into
// the store.
//
// Every old record becomes one new record (22 keys as they are, "curveType"
// from "sCurveType", and the old contrast c split into contrast floor(c) and
// local contrast rint((c - floor(c)) x 100)). All records are copied in one
// transaction; only after its commit is the old file renamed aside (its name
// plus a unique extension), so a failed or interrupted copy leaves "DVK.db"
// in place and the next start tries again, and a finished one is never
// copied twice. A missing file, or one without that table and its columns,
// is left alone.
#pragma once

#include <string>

#include "app/history/history_store.h"

namespace dvk {

struct HistoryMigration {
    bool found = false;     // a version 1 store with its table was there
    bool copied = false;    // its records are committed in the store
    int records = 0;
    std::string renamedTo;  // where the old file went ("" : not renamed)
    std::string error;
};

HistoryMigration migrateHistoryVer1ToVer2(HistoryStore& store, const std::string& version1Path);

// The 22 keys copied as they are.
extern const char* const kVersion1Keys[22];

}  // namespace dvk
