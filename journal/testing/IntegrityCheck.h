// What SQLite's own check says of a journal file ("ok" when it is whole),
// or "cannot open". Opened for writing, so that a transaction a killed
// program left behind is rolled back first, as the next program would.
#pragma once

#include <sqlite3.h>

#include <string>

namespace svc::journal::testing {

inline std::string IntegrityCheck(const std::string& file) {
    sqlite3* db = nullptr;
    std::string answer = "cannot open";
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW)
            answer = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return answer;
}

}  // namespace svc::journal::testing
