// Preloaded into svcadjust-cli by the kill test (LD_PRELOAD): the program
// kills itself with SIGKILL just before the Nth SQLite statement that is not
// a query runs (SVC_KILL_AT_STATEMENT=N), so that the test can end it at
// every step of the journal's transactions in turn (BEGIN, each row written,
// COMMIT), and so at every point between two EEPROM writes. Queries (what
// the program reads of the journal) are not counted: how many rows they
// step through depends on how much the journal holds.
#include <dlfcn.h>
#include <sqlite3.h>

#include <csignal>
#include <cstdlib>
#include <cstring>

extern "C" __attribute__((visibility("default"))) int sqlite3_step(sqlite3_stmt* statement) {
    using Step = int (*)(sqlite3_stmt*);
    static const Step real = reinterpret_cast<Step>(::dlsym(RTLD_NEXT, "sqlite3_step"));
    static const long killAt = [] {
        const char* n = std::getenv("SVC_KILL_AT_STATEMENT");
        return n ? std::atol(n) : 0L;
    }();
    static long count = 0;
    const char* sql = sqlite3_sql(statement);
    const bool starts = !sqlite3_stmt_busy(statement);
    if (starts && sql && std::strncmp(sql, "SELECT", 6) != 0 && ++count == killAt) std::raise(SIGKILL);
    return real(statement);
}
