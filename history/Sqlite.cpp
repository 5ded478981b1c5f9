#include "history/Sqlite.h"

#include <cerrno>
#include <utility>

#include "base/Error.h"
#include "history/FaultVfs.h"

namespace tidyfold::history {

namespace {

// Another Tidyfold writing its own pass at the same moment holds the write
// lock for one batch at most; waiting this long is far more than enough.
constexpr int kBusyMilliseconds = 10000;

// The errno behind a failed call: the one the history's files last failed
// with, else what the result code says.
int ErrnoOf(sqlite3* db, int code) {
    if (const int file = TakeFileErrno(); file != 0)
        return file;
    switch (code & 0xff) {
        case SQLITE_FULL:
            return ENOSPC;
        case SQLITE_READONLY:
            return EROFS;
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return EBUSY;
        case SQLITE_NOMEM:
            return ENOMEM;
        case SQLITE_PERM:
        case SQLITE_AUTH:
            return EACCES;
        default:
            break;
    }
    const int system = db != nullptr ? sqlite3_system_errno(db) : 0;
    return system != 0 ? system : EIO;
}

}  // namespace

Database::Database(const std::string& path) : path_(path) {
    // A connection is only ever used by one thread at a time (the program
    // runs its passes on the thread of its window), so SQLite's lock around
    // every call is left out.
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOFOLLOW | SQLITE_OPEN_NOMUTEX;
    const int code = sqlite3_open_v2(path.c_str(), &db_, flags, FaultVfsName());
    if (code != SQLITE_OK) {
        // The handle exists even when the open failed; it tells why.
        const int errnum = ErrnoOf(db_, code);
        sqlite3_close(db_);
        db_ = nullptr;
        throw Error::System(errnum, "cannot open the history", path_);
    }
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_busy_timeout(db_, kBusyMilliseconds);
}

void Database::SetBusyWait(int milliseconds) { sqlite3_busy_timeout(db_, milliseconds); }

Database::~Database() {
    if (db_ != nullptr)
        sqlite3_close_v2(db_);
}

void Database::Execute(const char* sql) {
    const int code = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
    if (code != SQLITE_OK)
        Throw(code, "cannot write the history");
}

Statement Database::Prepare(const char* sql) {
    sqlite3_stmt* stmt = nullptr;
    const int code = sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
    if (code != SQLITE_OK)
        Throw(code, "cannot read the history");
    return Statement(*this, stmt);
}

std::int64_t Database::LastInsertId() const { return sqlite3_last_insert_rowid(db_); }

void Database::Throw(int code, const char* operation) const {
    const int primary = code & 0xff;
    if (primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB)
        throw Error::Refused("The history file is damaged (" + std::string(sqlite3_errstr(code)) +
                                 "). Move it away and Tidyfold starts a new one.",
                             path_, EIO);
    // "Device or resource busy" alone does not say that another program
    // holds the history's lock.
    if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED)
        throw Error::System(EBUSY, std::string(operation) + " while another program holds its lock", path_);
    throw Error::System(ErrnoOf(db_, code), operation, path_);
}

Statement::Statement(Statement&& other) noexcept
    : db_(other.db_), stmt_(std::exchange(other.stmt_, nullptr)) {}

Statement& Statement::operator=(Statement&& other) noexcept {
    if (this != &other) {
        sqlite3_finalize(stmt_);
        db_ = other.db_;
        stmt_ = std::exchange(other.stmt_, nullptr);
    }
    return *this;
}

Statement::~Statement() { sqlite3_finalize(stmt_); }

Statement& Statement::Bind(int index, std::int64_t value) {
    sqlite3_bind_int64(stmt_, index, value);
    return *this;
}

namespace {

sqlite3_destructor_type Keeping(Lifetime lifetime) {
    return lifetime == Lifetime::UntilRun ? SQLITE_STATIC : SQLITE_TRANSIENT;
}

}  // namespace

Statement& Statement::Bind(int index, std::string_view text, Lifetime lifetime) {
    sqlite3_bind_text64(stmt_, index, text.data(), text.size(), Keeping(lifetime), SQLITE_UTF8);
    return *this;
}

Statement& Statement::BindBytes(int index, std::string_view bytes, Lifetime lifetime) {
    // A zero-length blob is bound as such, not as NULL.
    static const char kEmpty = 0;
    sqlite3_bind_blob64(stmt_, index, bytes.empty() ? &kEmpty : bytes.data(), bytes.size(), Keeping(lifetime));
    return *this;
}

Statement& Statement::BindNull(int index) {
    sqlite3_bind_null(stmt_, index);
    return *this;
}

Statement& Statement::Bind(int index, const std::optional<std::int64_t>& value) {
    return value ? Bind(index, *value) : BindNull(index);
}

bool Statement::Step(const char* operation) {
    const int code = sqlite3_step(stmt_);
    if (code == SQLITE_ROW)
        return true;
    if (code == SQLITE_DONE)
        return false;
    sqlite3_reset(stmt_);
    db_->Throw(code, operation);
}

void Statement::Run(const char* operation) {
    while (Step(operation)) {
    }
    Reset();
}

void Statement::Reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

std::int64_t Statement::Int(int column) const { return sqlite3_column_int64(stmt_, column); }

bool Statement::IsNull(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }

std::string Statement::Text(int column) const {
    const void* data = sqlite3_column_blob(stmt_, column);
    const int size = sqlite3_column_bytes(stmt_, column);
    return data != nullptr ? std::string(static_cast<const char*>(data), static_cast<std::size_t>(size))
                           : std::string();
}

std::optional<std::int64_t> Statement::OptionalInt(int column) const {
    if (IsNull(column))
        return std::nullopt;
    return Int(column);
}

Transaction::Transaction(Database& db) : db_(db) { db_.Execute("BEGIN IMMEDIATE"); }

Transaction::~Transaction() {
    if (open_)
        sqlite3_exec(db_.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void Transaction::Commit() {
    db_.Execute("COMMIT");
    open_ = false;
}

}  // namespace tidyfold::history
