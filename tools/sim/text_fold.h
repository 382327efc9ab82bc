// The folding behind the page's user search, so that "muller" finds "Müller": SQLite's own Unicode
// tables as its full-text tokenizer "unicode61" applies them (letters of every script that has
// case to lower case, diacritics taken off Latin letters), offered to SQL as fold_text(T).
#pragma once

#include "sqlite_db.h"

namespace facepad::sim {

// fold_text(T): T with every letter and digit run folded and everything between them (spaces,
// punctuation) kept as it was; NULL stays NULL.
inline constexpr char kFoldFunction[] = "fold_text";

// Adds fold_text() to the connection. Throws StoreError when this SQLite was built without FTS5,
// which holds the tables.
void AddFoldFunction(Connection& db);

}  // namespace facepad::sim
