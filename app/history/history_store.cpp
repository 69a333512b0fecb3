#include "app/history/history_store.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <unordered_map>

#include "app/history/text_match.h"
#include "platform/log.h"

namespace dvk {

namespace {

bool has_content(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && st.st_size > 0;
}

}  // namespace

// The store file as a read without its log goes by: a change of any of
// these, or a log begun beside it, means the file may have changed under
// the read.
struct HistoryStore::FileStamp {
    bool present = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    std::int64_t modifiedNs = 0;
    std::int64_t changedNs = 0;
    bool logged = false;  // a write-ahead log or rollback journal with something in it lies beside it
    bool operator==(const FileStamp&) const = default;

    static FileStamp of(const std::string& path) {
        FileStamp stamp;
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0) {
            stamp.present = true;
            stamp.device = st.st_dev;
            stamp.inode = st.st_ino;
            stamp.size = st.st_size;
            stamp.modifiedNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
            stamp.changedNs = static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
        }
        stamp.logged = has_content(path + "-wal") || has_content(path + "-journal");
        return stamp;
    }
};

namespace {

// How often a read of a store without its log is tried before what it
// read is taken as it is (each try after the first follows a change of the
// file under the one before).
constexpr int kReadAttempts = 4;

}  // namespace

// One SQLite handle, used by the thread that made it.
struct HistoryStore::Connection {
    std::mutex mutex;  // between the owning thread's exit and the store's end
    sqlite3* db = nullptr;
    // Reading the file alone, as one that does not change (a store opened
    // for reading with no log beside it), as it was at `stamp`.
    bool immutable = false;
    FileStamp stamp;
    ~Connection() { close(); }
    void close() {
        std::lock_guard<std::mutex> lock(mutex);
        if (db) sqlite3_close_v2(db);
        db = nullptr;
    }
};

namespace {

// Making and finding connections is serialised by this one lock.
std::mutex g_context_lock;
std::atomic<std::uint64_t> g_next_serial{1};

// The calling thread's connections, by store serial; closed when the thread ends.
struct ThreadConnections {
    std::unordered_map<std::uint64_t, std::shared_ptr<void>> map;
};
thread_local ThreadConnections t_connections;

const char* sql_type(HistoryAttributeType type) {
    switch (type) {
        case HistoryAttributeType::String:
            return "TEXT";
        case HistoryAttributeType::Double:
        case HistoryAttributeType::Date:
            return "REAL";
        case HistoryAttributeType::Int:
        case HistoryAttributeType::Bool:
            return "INTEGER";
    }
    return "";
}

std::string column_list() {
    std::string s = "rowid";
    for (const HistoryAttribute& a : historyAttributes()) s += std::string(", \"") + a.name + "\"";
    return s;
}

// RAII statement.
class Statement {
public:
    Statement(sqlite3* db, const std::string& sql) {
        rc_ = sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt_, nullptr);
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    bool ok() const { return rc_ == SQLITE_OK && stmt_; }
    sqlite3_stmt* get() const { return stmt_; }

private:
    sqlite3_stmt* stmt_ = nullptr;
    int rc_ = SQLITE_OK;
};

int bind_value(sqlite3_stmt* stmt, int index, const SettingsValue& v) {
    switch (v.kind()) {
        case SettingsValue::Kind::Null:
            return sqlite3_bind_null(stmt, index);
        case SettingsValue::Kind::Bool:
        case SettingsValue::Kind::Int:
            return sqlite3_bind_int64(stmt, index, v.int64_value());
        case SettingsValue::Kind::Double:
            return sqlite3_bind_double(stmt, index, v.double_value());
        case SettingsValue::Kind::String: {
            const std::string* s = v.string_ptr();
            return sqlite3_bind_text(stmt, index, s->data(), static_cast<int>(s->size()), SQLITE_TRANSIENT);
        }
    }
    return SQLITE_MISUSE;
}

SettingsValue column_value(sqlite3_stmt* stmt, int column, HistoryAttributeType type) {
    if (sqlite3_column_type(stmt, column) == SQLITE_NULL) return SettingsValue();
    switch (type) {
        case HistoryAttributeType::String: {
            const unsigned char* text = sqlite3_column_text(stmt, column);
            int n = sqlite3_column_bytes(stmt, column);
            return SettingsValue(std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(n)));
        }
        case HistoryAttributeType::Double:
        case HistoryAttributeType::Date:
            return SettingsValue(sqlite3_column_double(stmt, column));
        case HistoryAttributeType::Int:
            return SettingsValue(static_cast<long long>(sqlite3_column_int64(stmt, column)));
        case HistoryAttributeType::Bool:
            return SettingsValue(sqlite3_column_int64(stmt, column) != 0);
    }
    return SettingsValue();
}

std::string sqlite_text(sqlite3_value* v) {
    const unsigned char* t = sqlite3_value_text(v);
    return t ? std::string(reinterpret_cast<const char*>(t), static_cast<std::size_t>(sqlite3_value_bytes(v)))
             : std::string();
}

void sql_fold(sqlite3_context* context, int argc, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    unsigned fold = argc > 1 ? static_cast<unsigned>(sqlite3_value_int(argv[1])) : kFoldCase;
    std::string folded = foldText(sqlite_text(argv[0]), fold);
    sqlite3_result_text(context, folded.data(), static_cast<int>(folded.size()), SQLITE_TRANSIENT);
}

void sql_like(sqlite3_context* context, int argc, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    unsigned fold = argc > 2 ? static_cast<unsigned>(sqlite3_value_int(argv[2])) : kFoldCase;
    sqlite3_result_int(context, likeText(sqlite_text(argv[0]), sqlite_text(argv[1]), fold) ? 1 : 0);
}

bool exec(sqlite3* db, const char* sql, std::string* error, int* code = nullptr) {
    char* message = nullptr;
    int rc = sqlite3_exec(db, sql, nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        if (error) *error = message ? message : sqlite3_errstr(rc);
        if (code) *code = sqlite3_extended_errcode(db);
    }
    sqlite3_free(message);
    return rc == SQLITE_OK;
}

// "file:" + the path percent-encoded + "?immutable=1".
std::string immutable_uri(const std::string& path) {
    static const char hex[] = "0123456789ABCDEF";
    std::string uri = "file:";
    for (const unsigned char c : path) {
        if (std::isalnum(c) || c == '/' || c == '-' || c == '.' || c == '_' || c == '~') {
            uri += static_cast<char>(c);
        } else {
            uri += '%';
            uri += hex[c >> 4];
            uri += hex[c & 15];
        }
    }
    return uri + "?immutable=1";
}

// Result codes that say the file itself is damaged or cannot be read.
bool is_damage(int code) {
    const int primary = code & 0xff;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB || primary == SQLITE_IOERR;
}

// SQLite's quick integrity check: the empty string when the file is sound,
// else what is wrong ("database disk image is malformed" and the first
// problem the check names).
std::string integrity_problem(sqlite3* db, int* code) {
    Statement st(db, "PRAGMA quick_check");
    if (!st.ok()) {
        *code = sqlite3_extended_errcode(db);
        return sqlite3_errmsg(db);
    }
    std::string first;
    int rc;
    while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
        const unsigned char* text = sqlite3_column_text(st.get(), 0);
        std::string line = text ? reinterpret_cast<const char*>(text) : "";
        if (first.empty() && line != "ok") first = line;
    }
    if (rc != SQLITE_DONE) {
        *code = sqlite3_extended_errcode(db);
        return sqlite3_errmsg(db);
    }
    if (first.empty()) return {};
    *code = SQLITE_CORRUPT;
    // "*** in database main ***\nPage 30: ..." : the problem itself.
    const std::size_t header = first.rfind("***\n");
    if (header != std::string::npos) first.erase(0, header + 4);
    const std::size_t end = first.find('\n');
    if (end != std::string::npos) first.erase(end);
    return std::string(sqlite3_errstr(SQLITE_CORRUPT)) + " (" + first + ")";
}

// Why the file cannot be used as a store ("" when it can): it must read
// (a file that is no database, or one another process holds locked, fails
// here) and pass SQLite's quick integrity check.
std::string open_problem(sqlite3* db, int* code) {
    std::string error;
    if (!exec(db, "SELECT count(*) FROM sqlite_master", &error, code)) return error;
    return integrity_problem(db, code);
}

std::vector<HistoryMO> read_rows(sqlite3* db, const std::string& sql, const std::vector<SettingsValue>& parameters,
                                 std::string* error, int* code) {
    std::vector<HistoryMO> rows;
    Statement st(db, sql);
    if (!st.ok()) {
        if (error) *error = sqlite3_errmsg(db);
        *code = sqlite3_extended_errcode(db);
        return rows;
    }
    for (std::size_t i = 0; i < parameters.size(); ++i) bind_value(st.get(), static_cast<int>(i) + 1, parameters[i]);
    const auto& attributes = historyAttributes();
    int rc;
    while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
        HistoryMO r;
        r.setObjectID(sqlite3_column_int64(st.get(), 0));
        for (std::size_t i = 0; i < attributes.size(); ++i)
            r.setValueForKey(attributes[i].name, column_value(st.get(), static_cast<int>(i) + 1, attributes[i].type));
        rows.push_back(std::move(r));
    }
    if (rc != SQLITE_DONE) {
        if (error) *error = sqlite3_errmsg(db);
        *code = sqlite3_extended_errcode(db);
        rows.clear();
    }
    return rows;
}

const char* kOrder = " ORDER BY creationDate DESC, rowid DESC";

}  // namespace

std::string HistoryStore::createTableSQL(const std::string& table) {
    std::string sql = "CREATE TABLE IF NOT EXISTS \"" + table + "\" (";
    bool first = true;
    for (const HistoryAttribute& a : historyAttributes()) {
        if (!first) sql += ", ";
        first = false;
        sql += std::string("\"") + a.name + "\" " + sql_type(a.type);
    }
    return sql + ")";
}

HistoryStore::HistoryStore(std::string path) : HistoryStore(std::move(path), Options{}) {}

HistoryStore::HistoryStore(std::string path, Options options)
    : path_(std::move(path)), options_(options), serial_(g_next_serial++) {
    // A store this user may not write is only read: opened for writing, SQLite
    // would read it anyway, and make its log files with the store's mode.
    const std::string::size_type slash = path_.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : path_.substr(0, slash + 1);
    readOnly_ = options_.readOnly ||
                (::access(path_.c_str(), F_OK) == 0 &&
                 (::access(path_.c_str(), W_OK) != 0 || ::access(folder.c_str(), W_OK) != 0));
    std::string error;
    std::shared_ptr<Connection> c;
    // Read before anything is written: a file that is no database, one
    // another process holds locked, or one whose pages are damaged fails
    // here and stays as it is (closing this connection writes nothing back
    // into it either).
    for (int attempt = 1;; ++attempt) {
        c = openConnection(&error);
        if (!c) {
            openError_ = error;
            return;
        }
        int code = SQLITE_OK;
        error = open_problem(c->db, &code);
        if (error.empty()) break;
        sqlite3_db_config(c->db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
        // Read without its log while another process changed it: read again.
        if (!c->immutable || attempt == kReadAttempts || FileStamp::of(path_) == c->stamp) {
            openError_ = error;
            return;
        }
        c->close();
    }
    sqlite3* db = c->db;
    if (readOnly_) {
        open_ = true;
        std::lock_guard<std::mutex> lock(g_context_lock);
        t_connections.map[serial_] = c;
        issued_.push_back(c);
        return;
    }
    std::string walError;
    if (!exec(db, "PRAGMA journal_mode=WAL", &walError))
        log_line("%s: WAL mode not set: %s", path_.c_str(), walError.c_str());
    if (!exec(db, createTableSQL("History2").c_str(), &error)) {
        openError_ = error;
        return;
    }
    // Columns a store of an earlier layout may lack.
    {
        std::vector<std::string> present;
        Statement st(db, "PRAGMA table_info(History2)");
        while (st.ok() && sqlite3_step(st.get()) == SQLITE_ROW)
            present.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 1)));
        for (const HistoryAttribute& a : historyAttributes()) {
            bool found = false;
            for (const std::string& p : present) found = found || p == a.name;
            if (found) continue;
            std::string sql = std::string("ALTER TABLE History2 ADD COLUMN \"") + a.name + "\" " + sql_type(a.type);
            std::string alterError;
            if (!exec(db, sql.c_str(), &alterError))
                log_line("%s: column %s not added: %s", path_.c_str(), a.name, alterError.c_str());
        }
    }
    open_ = true;
    std::lock_guard<std::mutex> lock(g_context_lock);
    t_connections.map[serial_] = c;
    issued_.push_back(c);
}

HistoryStore::~HistoryStore() {
    std::lock_guard<std::mutex> lock(g_context_lock);
    for (auto& weak : issued_)
        if (auto c = weak.lock()) c->close();
    t_connections.map.erase(serial_);
}

std::shared_ptr<HistoryStore::Connection> HistoryStore::openConnection(std::string* error) const {
    auto c = std::make_shared<Connection>();
    int flags = SQLITE_OPEN_NOMUTEX;
    std::string name = path_;
    if (readOnly_) {
        // Without a log to fold in, the file alone is the whole store:
        // opened as one that does not change, SQLite makes no log files
        // beside it (nor needs room for them).
        c->stamp = FileStamp::of(path_);
        c->immutable = !c->stamp.logged;
        flags |= SQLITE_OPEN_READONLY;
        if (c->immutable) {
            name = immutable_uri(path_);
            flags |= SQLITE_OPEN_URI;
        }
    } else {
        flags |= SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    }
    int rc = sqlite3_open_v2(name.c_str(), &c->db, flags, nullptr);
    if (rc != SQLITE_OK) {
        if (error) *error = c->db ? sqlite3_errmsg(c->db) : sqlite3_errstr(rc);
        return nullptr;
    }
    sqlite3_extended_result_codes(c->db, 1);
    // A double-quoted name is a column, never a string when no column has it.
    sqlite3_db_config(c->db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(c->db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    sqlite3_busy_timeout(c->db, options_.busyTimeoutMs);
    sqlite3_create_function(c->db, "dvk_fold", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, sql_fold, nullptr,
                            nullptr);
    sqlite3_create_function(c->db, "dvk_fold", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, sql_fold, nullptr,
                            nullptr);
    sqlite3_create_function(c->db, "dvk_like", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, sql_like, nullptr,
                            nullptr);
    sqlite3_create_function(c->db, "dvk_like", 3, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, sql_like, nullptr,
                            nullptr);
    return c;
}

std::shared_ptr<HistoryStore::Connection> HistoryStore::threadConnection() {
    if (!open_) return nullptr;
    std::lock_guard<std::mutex> lock(g_context_lock);
    auto& map = t_connections.map;
    auto it = map.find(serial_);
    if (it != map.end()) {
        auto c = std::static_pointer_cast<Connection>(it->second);
        if (c->db) return c;
        map.erase(it);
    }
    std::string error;
    std::shared_ptr<Connection> c = openConnection(&error);
    if (!c) {
        log_line("%s: no connection: %s", path_.c_str(), error.c_str());
        return nullptr;
    }
    map[serial_] = c;
    // Forget the handles of threads that have ended.
    std::erase_if(issued_, [](const std::weak_ptr<Connection>& w) { return w.expired(); });
    issued_.push_back(c);
    return c;
}

void HistoryStore::dropThreadConnection() {
    std::lock_guard<std::mutex> lock(g_context_lock);
    auto& map = t_connections.map;
    auto it = map.find(serial_);
    if (it == map.end()) return;
    std::static_pointer_cast<Connection>(it->second)->close();
    map.erase(it);
}

sqlite3* HistoryStore::connection() {
    std::shared_ptr<Connection> c = threadConnection();
    return c ? c->db : nullptr;
}

std::vector<HistoryMO> HistoryStore::fetchWhere(const std::string& condition,
                                                const std::vector<SettingsValue>& parameters, std::string* error) {
    std::string sql = "SELECT " + column_list() + " FROM History2";
    if (!condition.empty()) sql += " WHERE " + condition;
    sql += kOrder;
    std::vector<HistoryMO> rows;
    std::string e;
    int code = SQLITE_OK;
    sqlite3* db = nullptr;
    for (int attempt = 1;; ++attempt) {
        std::shared_ptr<Connection> c = threadConnection();
        if (!c) {
            if (error) *error = "the history store is not open: " + openError();
            return {};
        }
        db = c->db;
        // A connection that reads the file alone reads what the file held
        // when it was made: once the file has changed (or a log was begun),
        // a new connection reads it as it is now.
        const auto current = [&] { return !c->immutable || FileStamp::of(path_) == c->stamp; };
        const bool last = attempt == kReadAttempts;
        if (last || current()) {
            e.clear();
            code = SQLITE_OK;
            rows = read_rows(db, sql, parameters, &e, &code);
            if (last || current()) break;
        }
        dropThreadConnection();
    }
    if (!e.empty()) {
        log_line("HistoryStore fetch %s: %s", condition.c_str(), e.c_str());
        if (error) *error = e;
        closeIfDamaged(db, code, e);
    }
    return rows;
}

std::vector<HistoryMO> HistoryStore::fetchAll(std::string* error) { return fetchWhere("", {}, error); }

std::vector<HistoryMO> HistoryStore::fetchWithSourceIn(const std::vector<std::string>& sources, std::string* error) {
    if (sources.empty()) return {};
    std::string condition = "sourceFile IN (";
    std::vector<SettingsValue> parameters;
    for (std::size_t i = 0; i < sources.size(); ++i) {
        condition += i ? ", ?" : "?";
        parameters.emplace_back(sources[i]);
    }
    return fetchWhere(condition + ")", parameters, error);
}

std::optional<HistoryMO> HistoryStore::fetch(std::int64_t id) {
    auto rows = fetchWhere("rowid = ?", {SettingsValue(static_cast<long long>(id))});
    if (rows.empty()) return std::nullopt;
    return rows.front();
}

bool HistoryStore::Transaction::fail() {
    failed_ = true;
    if (error_.empty()) {
        error_ = sqlite3_errmsg(db_);
        code_ = sqlite3_extended_errcode(db_);
    }
    return false;
}

bool HistoryStore::Transaction::insert(HistoryMO& record) {
    if (failed_) return false;
    std::string names, marks;
    std::vector<SettingsValue> values;
    for (const HistoryAttribute& a : historyAttributes()) {
        if (!names.empty()) {
            names += ", ";
            marks += ", ";
        }
        names += std::string("\"") + a.name + "\"";
        marks += "?";
        values.push_back(record.valueForKey(a.name));
    }
    if (!execute("INSERT INTO History2 (" + names + ") VALUES (" + marks + ")", values)) return false;
    record.setObjectID(sqlite3_last_insert_rowid(db_));
    return true;
}

bool HistoryStore::Transaction::update(const HistoryMO& record) {
    if (failed_) return false;
    std::string sets;
    std::vector<SettingsValue> values;
    for (const HistoryAttribute& a : historyAttributes()) {
        if (!sets.empty()) sets += ", ";
        sets += std::string("\"") + a.name + "\" = ?";
        values.push_back(record.valueForKey(a.name));
    }
    values.emplace_back(static_cast<long long>(record.objectID()));
    if (!execute("UPDATE History2 SET " + sets + " WHERE rowid = ?", values)) return false;
    if (changes() != 1) {
        error_ = "no history record " + std::to_string(record.objectID());
        return fail();
    }
    return true;
}

bool HistoryStore::Transaction::remove(std::int64_t id) {
    return execute("DELETE FROM History2 WHERE rowid = ?", {SettingsValue(static_cast<long long>(id))});
}

bool HistoryStore::Transaction::execute(const std::string& sql, const std::vector<SettingsValue>& parameters) {
    if (failed_) return false;
    Statement st(db_, sql);
    if (!st.ok()) return fail();
    for (std::size_t i = 0; i < parameters.size(); ++i)
        if (bind_value(st.get(), static_cast<int>(i) + 1, parameters[i]) != SQLITE_OK) return fail();
    int rc;
    while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE) return fail();
    return true;
}

int HistoryStore::Transaction::changes() const { return sqlite3_changes(db_); }

bool HistoryStore::write(const std::function<bool(Transaction&)>& body, std::string* error) {
    sqlite3* db = connection();
    if (!db) {
        if (error) *error = "the history store is not open: " + openError();
        return false;
    }
    std::string e;
    int code = SQLITE_OK;
    // IMMEDIATE: the write lock is taken (or waited for) at the start, so a
    // transaction never fails half-way for another writer.
    if (!exec(db, "BEGIN IMMEDIATE", &e, &code)) {
        if (error) *error = e;
        closeIfDamaged(db, code, e);
        return false;
    }
    Transaction t(db);
    bool ok = body(t) && !t.failed_;
    if (ok && !exec(db, "COMMIT", &e, &code)) ok = false;
    if (!ok) {
        if (e.empty()) {
            e = t.error_.empty() ? std::string("the change was abandoned") : t.error_;
            code = t.code_;
        }
        std::string ignored;
        if (!sqlite3_get_autocommit(db)) exec(db, "ROLLBACK", &ignored);
        if (error) *error = e;
        closeIfDamaged(db, code, e);
        return false;
    }
    notifyObservers();
    return true;
}

bool HistoryStore::closeIfDamaged(sqlite3* db, int code, const std::string& error) {
    if (!is_damage(code)) return false;
    // Nothing more goes into the file, not even a checkpoint at closing.
    sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    {
        std::lock_guard<std::mutex> lock(openErrorMutex_);
        if (!open_.load()) return true;
        openError_ = error;
        open_ = false;
    }
    log_line("%s is damaged: %s", path_.c_str(), error.c_str());
    if (damageHandler_) damageHandler_(error);
    return true;
}

std::string HistoryStore::openError() const {
    std::lock_guard<std::mutex> lock(openErrorMutex_);
    return openError_;
}

void HistoryStore::setDamageHandler(std::function<void(const std::string& error)> handler) {
    damageHandler_ = std::move(handler);
}

int HistoryStore::addObserver(Observer observer) {
    std::lock_guard<std::mutex> lock(observersMutex_);
    int token = nextObserver_++;
    observers_[token] = std::move(observer);
    return token;
}

void HistoryStore::removeObserver(int token) {
    std::lock_guard<std::mutex> lock(observersMutex_);
    observers_.erase(token);
}

void HistoryStore::notifyObservers() {
    std::vector<Observer> copy;
    {
        std::lock_guard<std::mutex> lock(observersMutex_);
        for (auto& [token, o] : observers_) copy.push_back(o);
    }
    for (auto& o : copy) o();
}

}  // namespace dvk
