// The journal in an SQLite file on this bench: write-ahead log, each step of
// an operation one transaction, so that a program killed in the middle of a
// write leaves the journal whole, with what the operation had sent. The
// commit that ends an operation is synchronous (it survives a power loss);
// those while it runs are not (they survive the program's death).
#include "journal/SqlStore.h"

#include <sqlite3.h>

#include <filesystem>

namespace svc::journal {
namespace {

class SqliteConnection : public SqlConnection {
public:
    explicit SqliteConnection(const std::string& path) : path_(path) {
        std::error_code ignored;
        const auto folder = std::filesystem::path(path).parent_path();
        if (!folder.empty()) std::filesystem::create_directories(folder, ignored);
        if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                            nullptr) != SQLITE_OK) {
            const std::string why = db_ ? sqlite3_errmsg(db_) : "out of memory";
            sqlite3_close(db_);
            db_ = nullptr;
            throw StoreError(path + ": " + why);
        }
        // Another program on the bench may hold the file for a moment; wait at most this long.
        sqlite3_busy_timeout(db_, 5000);
        const auto mode = Query("PRAGMA journal_mode=WAL");
        if (mode.empty() || !mode[0][0] || *mode[0][0] != "wal")
            throw StoreError(path + ": the write-ahead log cannot be used");
        Query("PRAGMA synchronous=FULL");
        Query("PRAGMA foreign_keys=ON");
    }
    ~SqliteConnection() override { sqlite3_close_v2(db_); }

    std::vector<Row> Query(const std::string& sql, const std::vector<Value>& values = {}) override {
        // $N becomes ?N, SQLite's numbered value.
        std::string text = sql;
        for (std::size_t i = 0; (i = text.find('$', i)) != std::string::npos;) text[i] = '?';
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db_, text.c_str(), -1, &st, nullptr) != SQLITE_OK) Throw();
        struct Finalize {
            sqlite3_stmt* s;
            ~Finalize() { sqlite3_finalize(s); }
        } finalize{st};
        for (std::size_t i = 0; i < values.size(); ++i) {
            const int at = static_cast<int>(i + 1);
            const int rc = values[i] ? sqlite3_bind_text(st, at, values[i]->c_str(),
                                                         static_cast<int>(values[i]->size()), SQLITE_TRANSIENT)
                                     : sqlite3_bind_null(st, at);
            if (rc != SQLITE_OK) Throw();
        }
        std::vector<Row> rows;
        for (;;) {
            const int rc = sqlite3_step(st);
            if (rc == SQLITE_DONE) break;
            if (rc != SQLITE_ROW) Throw();
            Row row;
            for (int c = 0; c < sqlite3_column_count(st); ++c) {
                const unsigned char* v = sqlite3_column_text(st, c);
                row.push_back(v ? Value(reinterpret_cast<const char*>(v)) : Value());
            }
            rows.push_back(std::move(row));
        }
        return rows;
    }
    std::string IdColumn() const override { return "INTEGER PRIMARY KEY"; }
    // In the write-ahead log a commit without the sync still survives the
    // program's death; only the power failing may take it back.
    void SetDurable(bool durable) override {
        if (durable == durable_) return;
        Query(durable ? "PRAGMA synchronous=FULL" : "PRAGMA synchronous=NORMAL");
        durable_ = durable;
    }
    std::string Describe() const override { return path_; }

private:
    [[noreturn]] void Throw() { throw StoreError(path_ + ": " + sqlite3_errmsg(db_)); }

    std::string path_;
    sqlite3* db_ = nullptr;
    bool durable_ = true;
};

}  // namespace

std::unique_ptr<Store> OpenSqlite(const std::string& path) {
    return std::make_unique<SqlStore>(std::make_unique<SqliteConnection>(path));
}

}  // namespace svc::journal
