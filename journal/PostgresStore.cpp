// The journal on a PostgreSQL server that a shop's benches share: every bench
// sees every printer's history and backups.
#include "journal/SqlStore.h"

#include <libpq-fe.h>

namespace svc::journal {
namespace {

// The address without its password, for messages.
std::string WithoutPassword(const std::string& conninfo) {
    const auto scheme = conninfo.find("://");
    const auto at = conninfo.find('@');
    if (scheme == std::string::npos || at == std::string::npos) return conninfo;
    const auto colon = conninfo.find(':', scheme + 3);
    if (colon == std::string::npos || colon > at) return conninfo;
    return conninfo.substr(0, colon) + conninfo.substr(at);
}

class PostgresConnection : public SqlConnection {
public:
    explicit PostgresConnection(const std::string& conninfo) : where_(WithoutPassword(conninfo)) {
        // A server that does not answer is given up after ten seconds, also
        // when the network goes away in the middle of a statement.
        const char* keys[] = {"dbname",
                              "connect_timeout",
                              "tcp_user_timeout",
                              "keepalives_idle",
                              "keepalives_interval",
                              "keepalives_count",
                              nullptr};
        const char* values[] = {conninfo.c_str(), "10", "10000", "5", "2", "3", nullptr};
        conn_ = PQconnectdbParams(keys, values, 1);
        if (!conn_ || PQstatus(conn_) != CONNECTION_OK) {
            const std::string why = conn_ ? PQerrorMessage(conn_) : "out of memory";
            PQfinish(conn_);
            conn_ = nullptr;
            throw StoreError(where_ + ": " + Clean(why));
        }
        // A statement that hangs (a lock held by a stuck bench) ends after thirty seconds.
        Query("SET statement_timeout = 30000");
        Query("SET client_min_messages = warning");
    }
    ~PostgresConnection() override { PQfinish(conn_); }

    std::vector<Row> Query(const std::string& sql, const std::vector<Value>& values = {}) override {
        std::vector<const char*> params;
        for (const Value& v : values) params.push_back(v ? v->c_str() : nullptr);
        PGresult* res = PQexecParams(conn_, sql.c_str(), static_cast<int>(params.size()), nullptr, params.data(),
                                     nullptr, nullptr, 0);
        const ExecStatusType status = PQresultStatus(res);
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
            const std::string why = res ? PQresultErrorMessage(res) : PQerrorMessage(conn_);
            PQclear(res);
            throw StoreError(where_ + ": " + Clean(why));
        }
        std::vector<Row> rows;
        for (int r = 0; r < PQntuples(res); ++r) {
            Row row;
            for (int c = 0; c < PQnfields(res); ++c)
                row.push_back(PQgetisnull(res, r, c) ? Value() : Value(PQgetvalue(res, r, c)));
            rows.push_back(std::move(row));
        }
        PQclear(res);
        return rows;
    }
    std::string IdColumn() const override { return "BIGSERIAL PRIMARY KEY"; }
    void LockSchema() override { Query("SELECT pg_advisory_xact_lock(4100420042)", {}); }
    std::string Describe() const override { return where_; }

private:
    static std::string Clean(std::string s) {
        while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
        return s;
    }

    std::string where_;
    PGconn* conn_ = nullptr;
};

}  // namespace

std::unique_ptr<Store> OpenPostgres(const std::string& conninfo) {
    return std::make_unique<SqlStore>(std::make_unique<PostgresConnection>(conninfo));
}

}  // namespace svc::journal
