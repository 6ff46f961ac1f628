// A query's rows as text a test can compare with a literal: columns joined by '|', NULL as "NULL".
#pragma once
#include <string>
#include <vector>

#include "messages/sqlite_db.h"

namespace store_support {

inline std::vector<std::string> QueryRows(messages::Database& db, const char* sql) {
    messages::Statement s(db, sql);
    std::vector<std::string> rows;
    while (s.Step()) {
        std::string row;
        for (int c = 0; c < s.ColumnCount(); ++c) {
            if (c > 0) row += '|';
            row += s.ColumnIsNull(c) ? std::string("NULL") : std::string(s.ColumnText(c));
        }
        rows.push_back(row);
    }
    return rows;
}

}  // namespace store_support
