#pragma once

// A thin owner of an SQLite connection and its statements. Every failure
// becomes a tidyfold::Error that says what was being done with which file.

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tidyfold::history {

class Statement;

class Database {
public:
    // Opens or creates the database at path through the file layer's fault
    // seam (FaultVfs.h). Nothing in the file is changed yet.
    explicit Database(const std::string& path);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Runs one or more statements without results.
    void Execute(const char* sql);
    Statement Prepare(const char* sql);
    std::int64_t LastInsertId() const;
    const std::string& Path() const noexcept { return path_; }
    // How long a call waits for another connection's lock before it fails.
    void SetBusyWait(int milliseconds);

    // Throws the error of the last failed call as having been doing
    // operation ("cannot write the history").
    [[noreturn]] void Throw(int code, const char* operation) const;

    sqlite3* Handle() const noexcept { return db_; }

private:
    sqlite3* db_ = nullptr;
    std::string path_;
};

// Whether a bound text or blob is copied (the default) or only pointed to:
// UntilRun promises that it stays unchanged until the statement has run
// (Run or Reset), which saves a copy of each value written in bulk.
enum class Lifetime { Copy, UntilRun };

// A prepared statement; bound values by their position from 1.
class Statement {
public:
    Statement(Database& db, sqlite3_stmt* stmt) : db_(&db), stmt_(stmt) {}
    Statement(Statement&& other) noexcept;
    Statement& operator=(Statement&& other) noexcept;
    ~Statement();

    Statement& Bind(int index, std::int64_t value);
    Statement& Bind(int index, std::string_view text, Lifetime lifetime = Lifetime::Copy);        // as text
    Statement& BindBytes(int index, std::string_view bytes, Lifetime lifetime = Lifetime::Copy);  // a blob: paths are bytes
    Statement& BindNull(int index);
    Statement& Bind(int index, const std::optional<std::int64_t>& value);

    // Steps once: true when a row is ready, false when the statement is done.
    bool Step(const char* operation = "cannot read the history");
    // Steps to the end, for statements without results.
    void Run(const char* operation = "cannot write the history");
    void Reset();

    std::int64_t Int(int column) const;
    bool IsNull(int column) const;
    std::string Text(int column) const;   // text or blob, as bytes
    std::optional<std::int64_t> OptionalInt(int column) const;

private:
    Database* db_;
    sqlite3_stmt* stmt_;
};

// A write transaction (BEGIN IMMEDIATE) that rolls back unless committed.
class Transaction {
public:
    explicit Transaction(Database& db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void Commit();

private:
    Database& db_;
    bool open_ = true;
};

}  // namespace tidyfold::history
