// The settings history store: table "History2" in an SQLite file ("DVK2.db"
// in the support folder), one column per record attribute, dates as REAL
// seconds since 1970, in WAL mode with a busy timeout.
//
// Each thread uses its own connection, made on its first use under one
// process-wide lock and kept until the thread ends (or the store goes).
// Every write is one transaction, committed whole or not at all; observers
// hear of each committed write on the writing thread.
//
// A store opened for reading only (asked so, or a file or folder this user
// may not write) never makes the write-ahead log or shared-memory files,
// which would otherwise be made with the store's own read-only mode and
// refuse every later writer: with no log waiting beside it the file alone is
// the whole store and is read as one that does not change (nothing is made,
// so this works on a full disk too); a read that finds the file changed
// under it, or a log begun meanwhile, is read again through the log.
//
// A file that cannot be opened as a store (not SQLite, unreadable, locked,
// or damaged: the quick integrity check at opening fails) leaves the store
// closed with SQLite's message: reads find nothing, writes fail, and the file
// is never changed, deleted or made anew. A store found damaged later (a
// read or write meets "malformed", "not a database" or an I/O error) is
// closed the same way from then on, and its damage handler hears of it once.
//
// Every connection knows two SQL functions for the rules' text comparisons
// (see text_match.h): dvk_fold(text, fold) gives the comparison form of the
// text, dvk_like(text, pattern, fold) is 1 when the pattern matches.
#pragma once

#include <sqlite3.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/history/history_record.h"

namespace dvk {

class HistoryStore {
public:
    struct Options {
        int busyTimeoutMs = 5000;
        // Opened for reading only: nothing is made, upgraded or written;
        // every write fails. A store file or folder this user may not write
        // is opened so whatever this says.
        bool readOnly = false;
    };

    // Opens the store file (making it when it does not exist) on the calling thread.
    explicit HistoryStore(std::string path);
    HistoryStore(std::string path, Options options);
    ~HistoryStore();
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    const std::string& path() const { return path_; }
    bool isOpen() const { return open_.load(); }
    // Opened for reading only (see Options::readOnly).
    bool isReadOnly() const { return readOnly_; }
    // SQLite's message when the store could not be opened (or was found damaged).
    std::string openError() const;
    // Called once, on the thread that met it, when an open store is found
    // damaged (with SQLite's message); set before other threads use the store.
    void setDamageHandler(std::function<void(const std::string& error)> handler);

    // The calling thread's connection (nullptr when the store is closed).
    sqlite3* connection();

    // Reads, newest creationDate first (the latest insert first among equal
    // dates). A failed read is logged, answers nothing and sets *error.
    std::vector<HistoryMO> fetchAll(std::string* error = nullptr);
    // Records whose sourceFile is one of `sources` exactly.
    std::vector<HistoryMO> fetchWithSourceIn(const std::vector<std::string>& sources, std::string* error = nullptr);
    // Records matching an SQL condition with "?" parameters.
    std::vector<HistoryMO> fetchWhere(const std::string& condition, const std::vector<SettingsValue>& parameters,
                                      std::string* error = nullptr);
    std::optional<HistoryMO> fetch(std::int64_t id);

    class Transaction {
    public:
        // Stores a new record and sets its object id.
        bool insert(HistoryMO& record);
        // Writes every attribute of a stored record.
        bool update(const HistoryMO& record);
        bool remove(std::int64_t id);
        // Any statement, for the store's own upkeep; parameters bound in order.
        bool execute(const std::string& sql, const std::vector<SettingsValue>& parameters = {});
        int changes() const;

    private:
        friend class HistoryStore;
        explicit Transaction(sqlite3* db) : db_(db) {}
        bool fail();
        sqlite3* db_;
        bool failed_ = false;
        int code_ = SQLITE_OK;  // of the operation that failed
        std::string error_;
    };
    // Runs `body` in one transaction. The changes are committed when the body
    // answers true and every operation and the commit succeed; otherwise none
    // is kept, the answer is false and *error holds the reason.
    bool write(const std::function<bool(Transaction&)>& body, std::string* error = nullptr);

    using Observer = std::function<void()>;
    int addObserver(Observer observer);
    void removeObserver(int token);

    // The SQL of the table (also used to make version 1 stores in tests).
    static std::string createTableSQL(const std::string& table);

private:
    struct Connection;
    struct FileStamp;
    std::shared_ptr<Connection> openConnection(std::string* error) const;
    // The calling thread's connection, made when it has none (nullptr when
    // the store is closed or no connection could be made).
    std::shared_ptr<Connection> threadConnection();
    // Drops the calling thread's connection (the next use makes a new one).
    void dropThreadConnection();
    void notifyObservers();
    // Closes the store for good when `code` (an SQLite result code) says
    // its file is damaged or unreadable; true when it did.
    bool closeIfDamaged(sqlite3* db, int code, const std::string& error);

    std::string path_;
    Options options_;
    std::uint64_t serial_;
    bool readOnly_ = false;  // options_.readOnly, or a store this user may not write (set at opening)
    std::atomic<bool> open_{false};
    mutable std::mutex openErrorMutex_;
    std::string openError_;
    std::function<void(const std::string&)> damageHandler_;
    std::vector<std::weak_ptr<Connection>> issued_;  // guarded by the process-wide context lock
    std::mutex observersMutex_;
    std::map<int, Observer> observers_;
    int nextObserver_ = 1;
};

}  // namespace dvk
