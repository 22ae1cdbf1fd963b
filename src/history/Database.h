// A thin owner of one SQLite connection and its prepared statements: the history and the device book each open
// their own connection to the same file, so a reader never waits for the writer (write-ahead log).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

namespace lanwick::history {

class CStatement {
public:
    CStatement() = default;
    ~CStatement();
    CStatement(CStatement&& other) noexcept;
    CStatement& operator=(CStatement&& other) noexcept;
    CStatement(const CStatement&) = delete;
    CStatement& operator=(const CStatement&) = delete;

    explicit operator bool() const { return m_pStmt != nullptr; }

    // Parameters count from 1, as in the SQL text's ?1, ?2...
    CStatement& Bind(int nIndex, std::int64_t nValue);
    CStatement& Bind(int nIndex, double dValue);
    CStatement& Bind(int nIndex, const std::string& strValue);
    CStatement& BindNull(int nIndex);

    // True while a row is ready, false when done; an error also ends with false, and LastError() says which.
    bool Step();
    // Steps to the end: true when the statement ran without error.
    bool Run();
    // Ready for the next Bind and Step, keeping the statement compiled.
    void Reset();

    std::int64_t Int(int nColumn) const;
    double Real(int nColumn) const;
    std::string Text(int nColumn) const;
    bool IsNull(int nColumn) const;

    // SQLite's result code of the last Step (SQLITE_OK after a finished one).
    int LastCode() const { return m_nLastCode; }

private:
    friend class CDatabase;
    explicit CStatement(sqlite3_stmt* pStmt) : m_pStmt(pStmt) {}

    sqlite3_stmt* m_pStmt = nullptr;
    int m_nLastCode = 0;
};

class CDatabase {
public:
    CDatabase() = default;
    ~CDatabase();
    CDatabase(const CDatabase&) = delete;
    CDatabase& operator=(const CDatabase&) = delete;

    // Opens or creates the file (mode 0644 through the umask) in write-ahead-log mode, with synchronous=NORMAL (a
    // crash of the process loses nothing committed; a power cut at most the last transactions) and a busy wait of
    // nBusyMs for the other connection's lock. A symbolic link as the file is refused, as for our other files.
    // False with the reason when the file cannot be opened or is not a database.
    bool Open(const std::string& strPath, std::string* pstrError = nullptr, int nBusyMs = 5000);
    // Opens an existing file for reading only: never creates it, never changes its journal mode. False with the
    // reason when the file is missing, cannot be read or is not a database.
    bool OpenReadOnly(const std::string& strPath, std::string* pstrError = nullptr, int nBusyMs = 5000);
    void Close();
    bool IsOpen() const { return m_pDb != nullptr; }

    // Runs one or more statements without results; false with the reason in LastError().
    bool Exec(const std::string& strSql);
    // An empty statement (false when tested) on error, with the reason in LastError().
    CStatement Prepare(const std::string& strSql);

    std::string LastError() const;
    // SQLite's code of the last failure: SQLITE_FULL, SQLITE_CORRUPT, SQLITE_NOTADB, SQLITE_IOERR...
    int LastCode() const;
    // Rows changed by the last INSERT, UPDATE or DELETE.
    std::int64_t Changes() const;
    // The integer of a pragma that reads one ("user_version"); nothing when it cannot be read.
    std::optional<std::int64_t> PragmaInt(const std::string& strName);

    sqlite3* Handle() const { return m_pDb; }

private:
    sqlite3* m_pDb = nullptr;
};

// Begins a write transaction and rolls it back unless Commit was called.
class CTransaction {
public:
    explicit CTransaction(CDatabase& db);
    ~CTransaction();
    CTransaction(const CTransaction&) = delete;
    CTransaction& operator=(const CTransaction&) = delete;

    bool Began() const { return m_bBegan; }
    bool Commit();

private:
    CDatabase& m_db;
    bool m_bBegan = false;
    bool m_bDone = false;
};

} // namespace lanwick::history
