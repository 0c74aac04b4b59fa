// Preloaded into svcadjust-cli by the kill test (LD_PRELOAD): the program
// kills itself with SIGKILL just before the Nth SQL statement that is not a
// query runs (SVC_KILL_AT_STATEMENT=N), in SQLite or sent to PostgreSQL, so
// that the test can end it at every step of the journal's transactions in
// turn (BEGIN, each row written, COMMIT), and so at every point between two
// EEPROM writes. Queries (what the program reads of the journal) are not
// counted: how many there are depends on how much the journal holds.
#include <dlfcn.h>
#include <sqlite3.h>

#include <csignal>
#include <cstdlib>
#include <cstring>

namespace {

// Counts a statement about to run; the one numbered SVC_KILL_AT_STATEMENT does not.
void Statement(const char* sql) {
    static const long killAt = [] {
        const char* n = std::getenv("SVC_KILL_AT_STATEMENT");
        return n ? std::atol(n) : 0L;
    }();
    static long count = 0;
    if (sql && std::strncmp(sql, "SELECT", 6) != 0 && ++count == killAt) std::raise(SIGKILL);
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int sqlite3_step(sqlite3_stmt* statement) {
    using Step = int (*)(sqlite3_stmt*);
    static const Step real = reinterpret_cast<Step>(::dlsym(RTLD_NEXT, "sqlite3_step"));
    if (!sqlite3_stmt_busy(statement)) Statement(sqlite3_sql(statement));  // its first step runs it
    return real(statement);
}

// libpq's, with its handles left opaque (its header is not needed to pass them on).
extern "C" __attribute__((visibility("default"))) void* PQexecParams(void* connection, const char* command, int count,
                                                                     const unsigned* types, const char* const* values,
                                                                     const int* lengths, const int* formats,
                                                                     int resultFormat) {
    using Exec = void* (*)(void*, const char*, int, const unsigned*, const char* const*, const int*, const int*, int);
    static const Exec real = reinterpret_cast<Exec>(::dlsym(RTLD_NEXT, "PQexecParams"));
    Statement(command);
    return real(connection, command, count, types, values, lengths, formats, resultFormat);
}
