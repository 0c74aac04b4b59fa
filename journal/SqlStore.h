// The journal's tables and queries over a small SQL connection, shared by the
// SQLite and the PostgreSQL store: they differ only in how they connect,
// bind values and make ids.
#pragma once

#include "journal/Store.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace svc::journal {

using Value = std::optional<std::string>;  // null or the value's text
using Row = std::vector<Value>;

// One connection. Statements use $1, $2 ... for their values. Every call throws StoreError.
class SqlConnection {
public:
    virtual ~SqlConnection() = default;
    virtual std::vector<Row> Query(const std::string& sql, const std::vector<Value>& values = {}) = 0;
    // The column type of an id that numbers itself.
    virtual std::string IdColumn() const = 0;
    // Runs before the tables are made, inside their transaction (PostgreSQL
    // serialises the benches that make them at the same time).
    virtual void LockSchema() {}
    virtual std::string Describe() const = 0;
    // Whether the next commits must survive a power loss (true), or only a
    // program that dies (false: quicker where the database can tell them apart).
    virtual void SetDurable(bool durable) { (void)durable; }
};

class SqlStore : public Store {
public:
    // Makes the tables when they are missing; refuses a journal of a newer schema.
    explicit SqlStore(std::unique_ptr<SqlConnection> db);
    std::string Describe() const override { return db_->Describe(); }

    std::int64_t AddSession(const SessionRecord& session) override;
    std::int64_t AddOperation(const OperationRecord& op, const std::vector<BackupRecord>& backups,
                              const std::string& usbId, const std::string& headId) override;
    std::int64_t OpenOperation(const OperationRecord& op) override;
    void SaveOperation(const OperationRecord& op, std::size_t firstByte, const std::vector<BackupRecord>& backups,
                       std::size_t firstBackup, const std::string& usbId, const std::string& headId,
                       bool finished) override;
    std::vector<SessionRecord> Sessions(const std::string& printer) override;
    std::vector<OperationRecord> Operations(std::int64_t sessionId) override;
    std::optional<OperationRecord> Operation(std::int64_t id) override;
    std::optional<SessionRecord> Session(std::int64_t id) override;
    std::optional<BackupRecord> Backup(std::int64_t id) override;
    std::vector<BackupRecord> Backups(const std::string& printer) override;

private:
    template <class F>
    auto Transaction(F&& body);
    // The operation's row and its bytes, inside the caller's transaction; its id.
    std::int64_t InsertOperation(const OperationRecord& op);
    void InsertBytes(std::int64_t id, const std::vector<ByteRecord>& bytes, std::size_t first, bool replace);
    void InsertBackups(std::int64_t id, const std::vector<BackupRecord>& backups, std::size_t first);
    void UpdateSession(std::int64_t sessionId, const std::string& usbId, const std::string& headId);
    std::vector<OperationRecord> LoadOperations(const std::string& where, const std::string& key);
    std::vector<BackupRecord> LoadBackups(const std::string& where, const std::vector<Value>& values);
    std::vector<SessionRecord> LoadSessions(const std::string& where, const std::vector<Value>& values);

    std::unique_ptr<SqlConnection> db_;
};

// The SQLite journal in a file (made with its folder when missing).
std::unique_ptr<Store> OpenSqlite(const std::string& path);
// The shared journal on a PostgreSQL server ("postgresql://user@host/db").
std::unique_ptr<Store> OpenPostgres(const std::string& conninfo);

// Where the journal is: SVCADJUST_JOURNAL, else the first setting line of
// ${XDG_CONFIG_HOME:-~/.config}/svcadjust/journal.conf, else the SQLite file
// ${XDG_DATA_HOME:-~/.local/share}/svcadjust/journal.sqlite. A setting is a
// postgresql:// (or postgres://) address, a path of an SQLite file, or "off".
std::string ConfiguredJournal();
// Opens the configured journal; null with `error` set when it cannot be
// opened, null with `error` empty when it is off.
std::unique_ptr<Store> OpenConfigured(std::string& error);

}  // namespace svc::journal
