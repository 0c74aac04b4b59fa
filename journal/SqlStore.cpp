#include "journal/SqlStore.h"
#include "i18n/Translate.h"

#include <cstdlib>
#include <fstream>
#include <pwd.h>
#include <sstream>
#include <unistd.h>

namespace svc::journal {
namespace {

Value Text(const std::string& s) { return s; }
Value Number(std::int64_t n) { return std::to_string(n); }

std::int64_t AsInt(const Value& v) {
    if (!v) return 0;
    return std::strtoll(v->c_str(), nullptr, 10);
}
std::string AsText(const Value& v) { return v ? *v : std::string(); }

std::string JoinLines(const std::vector<std::string>& lines) {
    std::string out;
    for (std::size_t i = 0; i < lines.size(); ++i) out += (i ? "\n" : "") + lines[i];
    return out;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    if (text.empty()) return lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

const char* kSessionColumns = "id, started, bench, model, port, device_id, usb_id, head_id";
const char* kBackupColumns = "id, operation_id, taken, printer, kind, bench, bytes";

SessionRecord SessionFrom(const Row& r) {
    SessionRecord s;
    s.id = AsInt(r[0]);
    s.started = AsText(r[1]);
    s.bench = AsText(r[2]);
    s.model = static_cast<int>(AsInt(r[3]));
    s.port = static_cast<int>(AsInt(r[4]));
    s.deviceId = AsText(r[5]);
    s.usbId = AsText(r[6]);
    s.headId = AsText(r[7]);
    return s;
}

BackupRecord BackupFrom(const Row& r) {
    BackupRecord b;
    b.id = AsInt(r[0]);
    b.operationId = AsInt(r[1]);
    b.taken = AsText(r[2]);
    b.printer = AsText(r[3]);
    b.kind = AsText(r[4]);
    b.bench = AsText(r[5]);
    std::vector<std::uint8_t> bytes;
    if (!FromHex(AsText(r[6]), bytes) || bytes.size() != b.bytes.size())
        throw StoreError("backup " + std::to_string(b.id) + " in the journal is not 101 bytes");
    std::copy(bytes.begin(), bytes.end(), b.bytes.begin());
    return b;
}

}  // namespace

template <class F>
auto SqlStore::Transaction(F&& body) {
    db_->Query("BEGIN");
    try {
        auto result = body();
        db_->Query("COMMIT");
        return result;
    } catch (...) {
        try {
            db_->Query("ROLLBACK");
        } catch (const StoreError&) {}
        throw;
    }
}

SqlStore::SqlStore(std::unique_ptr<SqlConnection> db) : db_(std::move(db)) {
    const std::string id = db_->IdColumn();
    Transaction([&] {
        db_->LockSchema();
        db_->Query("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)");
        const auto rows = db_->Query("SELECT version FROM schema_version");
        if (rows.empty()) {
            db_->Query("INSERT INTO schema_version (version) VALUES ($1)", {Number(kSchemaVersion)});
        } else if (AsInt(rows[0][0]) > kSchemaVersion) {
            throw StoreError("the journal was made by a newer svcadjust (schema " + AsText(rows[0][0]) + ")");
        }
        db_->Query("CREATE TABLE IF NOT EXISTS sessions (id " + id +
                   ", started TEXT NOT NULL, bench TEXT NOT NULL, model INTEGER NOT NULL, port INTEGER NOT NULL,"
                   " device_id TEXT NOT NULL, usb_id TEXT NOT NULL DEFAULT '', head_id TEXT NOT NULL DEFAULT '')");
        db_->Query("CREATE TABLE IF NOT EXISTS operations (id " + id +
                   ", session_id BIGINT NOT NULL REFERENCES sessions(id), started TEXT NOT NULL,"
                   " name TEXT NOT NULL, arguments TEXT NOT NULL, result INTEGER NOT NULL, memo TEXT NOT NULL)");
        db_->Query(
            "CREATE TABLE IF NOT EXISTS eeprom_bytes (operation_id BIGINT NOT NULL REFERENCES operations(id),"
            " seq INTEGER NOT NULL, access TEXT NOT NULL, address INTEGER NOT NULL, value INTEGER NOT NULL,"
            " previous INTEGER, result INTEGER NOT NULL, via TEXT NOT NULL, PRIMARY KEY (operation_id, seq))");
        db_->Query("CREATE TABLE IF NOT EXISTS backups (id " + id +
                   ", operation_id BIGINT REFERENCES operations(id), taken TEXT NOT NULL, printer TEXT NOT NULL,"
                   " kind TEXT NOT NULL, bench TEXT NOT NULL, bytes TEXT NOT NULL)");
        db_->Query("CREATE INDEX IF NOT EXISTS operations_by_session ON operations (session_id)");
        db_->Query("CREATE INDEX IF NOT EXISTS backups_by_printer ON backups (printer)");
        return 0;
    });
}

std::int64_t SqlStore::AddSession(const SessionRecord& s) {
    db_->SetDurable(true);
    return Transaction([&] {
        const auto rows = db_->Query(
            "INSERT INTO sessions (started, bench, model, port, device_id, usb_id, head_id)"
            " VALUES ($1, $2, $3, $4, $5, $6, $7) RETURNING id",
            {Text(s.started), Text(s.bench), Number(s.model), Number(s.port), Text(s.deviceId), Text(s.usbId),
             Text(s.headId)});
        return AsInt(rows.at(0).at(0));
    });
}

void SqlStore::InsertBytes(std::int64_t id, const std::vector<ByteRecord>& bytes, std::size_t first, bool replace) {
    // A byte saved while its write was under way is saved again with the
    // write's outcome: the same (operation, seq), its values replaced.
    const std::string sql =
        std::string(
            "INSERT INTO eeprom_bytes (operation_id, seq, access, address, value, previous, result, via)"
            " VALUES ($1, $2, $3, $4, $5, $6, $7, $8)") +
        (replace
             ? " ON CONFLICT (operation_id, seq) DO UPDATE SET access = excluded.access, address = excluded.address,"
               " value = excluded.value, previous = excluded.previous, result = excluded.result, via = excluded.via"
             : "");
    for (std::size_t i = first; i < bytes.size(); ++i) {
        const ByteRecord& b = bytes[i];
        db_->Query(sql,
                   {Number(id), Number(b.seq), Text(b.access == Access::Write ? "write" : "read"), Number(b.address),
                    Number(b.value), b.previous ? Number(*b.previous) : Value(), Number(b.result), Text(b.via)});
    }
}

void SqlStore::InsertBackups(std::int64_t id, const std::vector<BackupRecord>& backups, std::size_t first) {
    for (std::size_t i = first; i < backups.size(); ++i) {
        const BackupRecord& b = backups[i];
        db_->Query(
            "INSERT INTO backups (operation_id, taken, printer, kind, bench, bytes)"
            " VALUES ($1, $2, $3, $4, $5, $6)",
            {Number(id), Text(b.taken), Text(b.printer), Text(b.kind), Text(b.bench),
             Text(ToHex(b.bytes.data(), b.bytes.size()))});
    }
}

void SqlStore::UpdateSession(std::int64_t sessionId, const std::string& usbId, const std::string& headId) {
    if (!usbId.empty()) db_->Query("UPDATE sessions SET usb_id = $1 WHERE id = $2", {Text(usbId), Number(sessionId)});
    if (!headId.empty())
        db_->Query("UPDATE sessions SET head_id = $1 WHERE id = $2", {Text(headId), Number(sessionId)});
}

std::int64_t SqlStore::AddOperation(const OperationRecord& op, const std::vector<BackupRecord>& backups,
                                    const std::string& usbId, const std::string& headId) {
    db_->SetDurable(true);
    return Transaction([&] {
        const std::int64_t id = InsertOperation(op);
        InsertBackups(id, backups, 0);
        UpdateSession(op.sessionId, usbId, headId);
        return id;
    });
}

std::int64_t SqlStore::InsertOperation(const OperationRecord& op) {
    const auto rows = db_->Query(
        "INSERT INTO operations (session_id, started, name, arguments, result, memo)"
        " VALUES ($1, $2, $3, $4, $5, $6) RETURNING id",
        {Number(op.sessionId), Text(op.started), Text(op.name), Text(op.arguments), Number(op.result),
         Text(JoinLines(op.memo))});
    const std::int64_t id = AsInt(rows.at(0).at(0));
    InsertBytes(id, op.bytes, 0, false);
    return id;
}

std::int64_t SqlStore::OpenOperation(const OperationRecord& op) {
    db_->SetDurable(false);
    return Transaction([&] { return InsertOperation(op); });
}

void SqlStore::SaveOperation(const OperationRecord& op, std::size_t firstByte, const std::vector<BackupRecord>& backups,
                             std::size_t firstBackup, const std::string& usbId, const std::string& headId,
                             bool finished) {
    db_->SetDurable(finished);
    Transaction([&] {
        db_->Query("UPDATE operations SET result = $1, memo = $2 WHERE id = $3",
                   {Number(op.result), Text(JoinLines(op.memo)), Number(op.id)});
        InsertBytes(op.id, op.bytes, firstByte, true);
        InsertBackups(op.id, backups, firstBackup);
        UpdateSession(op.sessionId, usbId, headId);
        return 0;
    });
}

std::vector<SessionRecord> SqlStore::LoadSessions(const std::string& where, const std::vector<Value>& values) {
    std::vector<SessionRecord> out;
    for (const Row& r :
         db_->Query(std::string("SELECT ") + kSessionColumns + " FROM sessions " + where + " ORDER BY id", values))
        out.push_back(SessionFrom(r));
    return out;
}

std::vector<SessionRecord> SqlStore::Sessions(const std::string& printer) {
    if (printer.empty()) return LoadSessions("", {});
    return LoadSessions("WHERE usb_id = $1 OR head_id = $1", {Text(printer)});
}

std::optional<SessionRecord> SqlStore::Session(std::int64_t id) {
    auto found = LoadSessions("WHERE id = $1", {Number(id)});
    if (found.empty()) return std::nullopt;
    return found.front();
}

std::vector<OperationRecord> SqlStore::LoadOperations(const std::string& where, const std::string& key) {
    std::vector<OperationRecord> out;
    for (const Row& r : db_->Query(
             "SELECT id, session_id, started, name, arguments, result, memo FROM operations " + where + " ORDER BY id",
             {Text(key)})) {
        OperationRecord op;
        op.id = AsInt(r[0]);
        op.sessionId = AsInt(r[1]);
        op.started = AsText(r[2]);
        op.name = AsText(r[3]);
        op.arguments = AsText(r[4]);
        op.result = static_cast<std::uint16_t>(AsInt(r[5]));
        op.memo = SplitLines(AsText(r[6]));
        for (const Row& b : db_->Query("SELECT seq, access, address, value, previous, result, via FROM eeprom_bytes"
                                       " WHERE operation_id = $1 ORDER BY seq",
                                       {Number(op.id)})) {
            ByteRecord rec;
            rec.seq = static_cast<int>(AsInt(b[0]));
            rec.access = AsText(b[1]) == "write" ? Access::Write : Access::Read;
            rec.address = static_cast<std::uint8_t>(AsInt(b[2]));
            rec.value = static_cast<std::uint8_t>(AsInt(b[3]));
            if (b[4]) rec.previous = static_cast<std::uint8_t>(AsInt(b[4]));
            rec.result = static_cast<std::uint16_t>(AsInt(b[5]));
            rec.via = AsText(b[6]);
            op.bytes.push_back(rec);
        }
        out.push_back(std::move(op));
    }
    return out;
}

std::vector<OperationRecord> SqlStore::Operations(std::int64_t sessionId) {
    return LoadOperations("WHERE session_id = $1", std::to_string(sessionId));
}

std::optional<OperationRecord> SqlStore::Operation(std::int64_t id) {
    auto found = LoadOperations("WHERE id = $1", std::to_string(id));
    if (found.empty()) return std::nullopt;
    return found.front();
}

std::vector<BackupRecord> SqlStore::LoadBackups(const std::string& where, const std::vector<Value>& values) {
    std::vector<BackupRecord> out;
    for (const Row& r :
         db_->Query(std::string("SELECT ") + kBackupColumns + " FROM backups " + where + " ORDER BY id", values))
        out.push_back(BackupFrom(r));
    return out;
}

std::optional<BackupRecord> SqlStore::Backup(std::int64_t id) {
    auto found = LoadBackups("WHERE id = $1", {Number(id)});
    if (found.empty()) return std::nullopt;
    return found.front();
}

std::vector<BackupRecord> SqlStore::Backups(const std::string& printer) {
    if (printer.empty()) return LoadBackups("", {});
    return LoadBackups("WHERE printer = $1", {Text(printer)});
}

// ---- where the journal is ----
namespace {

std::string HomeFolder() {
    if (const char* h = std::getenv("HOME"); h && h[0] != '\0') return h;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return {};
}

std::string XdgFolder(const char* variable, const char* below) {
    if (const char* x = std::getenv(variable); x && x[0] == '/') return x;
    const std::string home = HomeFolder();
    return home.empty() ? std::string() : home + "/" + below;
}

std::string Trim(const std::string& s) {
    const auto b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

bool IsPostgres(const std::string& s) { return s.rfind("postgresql://", 0) == 0 || s.rfind("postgres://", 0) == 0; }

}  // namespace

std::string ConfiguredJournal() {
    if (const char* e = std::getenv("SVCADJUST_JOURNAL"); e && e[0] != '\0') return Trim(e);
    const std::string config = XdgFolder("XDG_CONFIG_HOME", ".config");
    if (!config.empty()) {
        std::ifstream in(config + "/svcadjust/journal.conf");
        for (std::string line; std::getline(in, line);) {
            line = Trim(line);
            if (line.empty() || line[0] == '#') continue;
            // "journal = VALUE" or the bare value
            if (line.rfind("journal", 0) == 0) {
                const auto eq = line.find('=');
                if (eq != std::string::npos) line = Trim(line.substr(eq + 1));
            }
            return line;
        }
    }
    const std::string data = XdgFolder("XDG_DATA_HOME", ".local/share");
    return data.empty() ? std::string() : data + "/svcadjust/journal.sqlite";
}

std::unique_ptr<Store> OpenConfigured(std::string& error) {
    error.clear();
    const std::string where = ConfiguredJournal();
    if (where == "off") return nullptr;
    try {
        if (where.empty()) throw StoreError(Tr("no home folder to keep it in"));
        if (IsPostgres(where)) return OpenPostgres(where);
        return OpenSqlite(where.rfind("sqlite:", 0) == 0 ? where.substr(7) : where);
    } catch (const StoreError& e) {
        error = Format(Tr("The service journal cannot be opened: %1. The work goes on without it."), {e.what()});
    }
    return nullptr;
}

}  // namespace svc::journal
