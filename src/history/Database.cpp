#include "history/Database.h"

#include <sqlite3.h>

#include <utility>

namespace lanwick::history {

CStatement::~CStatement() {
    sqlite3_finalize(m_pStmt);
}

CStatement::CStatement(CStatement&& other) noexcept
    : m_pStmt(std::exchange(other.m_pStmt, nullptr)), m_nLastCode(other.m_nLastCode) {}

CStatement& CStatement::operator=(CStatement&& other) noexcept {
    if (this != &other) {
        sqlite3_finalize(m_pStmt);
        m_pStmt = std::exchange(other.m_pStmt, nullptr);
        m_nLastCode = other.m_nLastCode;
    }
    return *this;
}

CStatement& CStatement::Bind(int nIndex, std::int64_t nValue) {
    sqlite3_bind_int64(m_pStmt, nIndex, nValue);
    return *this;
}

CStatement& CStatement::Bind(int nIndex, double dValue) {
    sqlite3_bind_double(m_pStmt, nIndex, dValue);
    return *this;
}

CStatement& CStatement::Bind(int nIndex, const std::string& strValue) {
    sqlite3_bind_text(m_pStmt, nIndex, strValue.data(), static_cast<int>(strValue.size()), SQLITE_TRANSIENT);
    return *this;
}

CStatement& CStatement::BindNull(int nIndex) {
    sqlite3_bind_null(m_pStmt, nIndex);
    return *this;
}

bool CStatement::Step() {
    m_nLastCode = sqlite3_step(m_pStmt);
    if (m_nLastCode == SQLITE_ROW)
        return true;
    if (m_nLastCode == SQLITE_DONE)
        m_nLastCode = SQLITE_OK;
    return false;
}

bool CStatement::Run() {
    while (Step()) {
    }
    return m_nLastCode == SQLITE_OK;
}

void CStatement::Reset() {
    sqlite3_reset(m_pStmt);
    sqlite3_clear_bindings(m_pStmt);
}

std::int64_t CStatement::Int(int nColumn) const {
    return sqlite3_column_int64(m_pStmt, nColumn);
}

double CStatement::Real(int nColumn) const {
    return sqlite3_column_double(m_pStmt, nColumn);
}

std::string CStatement::Text(int nColumn) const {
    const auto* p = sqlite3_column_text(m_pStmt, nColumn);
    return p ? std::string(reinterpret_cast<const char*>(p),
                           static_cast<std::size_t>(sqlite3_column_bytes(m_pStmt, nColumn)))
             : std::string();
}

bool CStatement::IsNull(int nColumn) const {
    return sqlite3_column_type(m_pStmt, nColumn) == SQLITE_NULL;
}

CDatabase::~CDatabase() {
    Close();
}

bool CDatabase::Open(const std::string& strPath, std::string* pstrError, int nBusyMs) {
    Close();
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOFOLLOW | SQLITE_OPEN_FULLMUTEX;
    int code = sqlite3_open_v2(strPath.c_str(), &m_pDb, flags, nullptr);
    if (code == SQLITE_OK) {
        sqlite3_extended_result_codes(m_pDb, 1);
        sqlite3_busy_timeout(m_pDb, nBusyMs);
        // Reading the journal mode is the first touch of the file: a file that is not a database fails here.
        if (Exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=ON;"))
            return true;
    }
    if (pstrError)
        *pstrError = m_pDb ? sqlite3_errmsg(m_pDb) : sqlite3_errstr(code);
    Close();
    return false;
}

bool CDatabase::OpenReadOnly(const std::string& strPath, std::string* pstrError, int nBusyMs) {
    Close();
    const int flags = SQLITE_OPEN_READONLY | SQLITE_OPEN_NOFOLLOW | SQLITE_OPEN_FULLMUTEX;
    int code = sqlite3_open_v2(strPath.c_str(), &m_pDb, flags, nullptr);
    if (code == SQLITE_OK) {
        sqlite3_extended_result_codes(m_pDb, 1);
        sqlite3_busy_timeout(m_pDb, nBusyMs);
        // Opening is lazy: the first read of the schema tells a database from any other file.
        if (Exec("SELECT count(*) FROM sqlite_master"))
            return true;
    }
    if (pstrError)
        *pstrError = m_pDb ? sqlite3_errmsg(m_pDb) : sqlite3_errstr(code);
    Close();
    return false;
}

void CDatabase::Close() {
    // Statements are owned by their callers and finalised first; close_v2 waits for any left.
    sqlite3_close_v2(m_pDb);
    m_pDb = nullptr;
}

bool CDatabase::Exec(const std::string& strSql) {
    return m_pDb && sqlite3_exec(m_pDb, strSql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

CStatement CDatabase::Prepare(const std::string& strSql) {
    sqlite3_stmt* pStmt = nullptr;
    if (!m_pDb || sqlite3_prepare_v3(m_pDb, strSql.c_str(), static_cast<int>(strSql.size()), SQLITE_PREPARE_PERSISTENT,
                                     &pStmt, nullptr) != SQLITE_OK)
        return CStatement();
    return CStatement(pStmt);
}

std::string CDatabase::LastError() const {
    return m_pDb ? sqlite3_errmsg(m_pDb) : "the database is not open";
}

int CDatabase::LastCode() const {
    return m_pDb ? sqlite3_extended_errcode(m_pDb) : SQLITE_MISUSE;
}

std::int64_t CDatabase::Changes() const {
    return m_pDb ? sqlite3_changes64(m_pDb) : 0;
}

std::optional<std::int64_t> CDatabase::PragmaInt(const std::string& strName) {
    CStatement stmt = Prepare("PRAGMA " + strName);
    if (!stmt || !stmt.Step())
        return std::nullopt;
    return stmt.Int(0);
}

CTransaction::CTransaction(CDatabase& db) : m_db(db) {
    m_bBegan = m_db.Exec("BEGIN IMMEDIATE");
}

CTransaction::~CTransaction() {
    if (m_bBegan && !m_bDone)
        m_db.Exec("ROLLBACK");
}

bool CTransaction::Commit() {
    if (!m_bBegan || m_bDone)
        return false;
    m_bDone = m_db.Exec("COMMIT");
    return m_bDone;
}

} // namespace lanwick::history
