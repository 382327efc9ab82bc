// The users file of sync-users and remove-users: CSV (RFC 4180) with a header row naming its
// columns, in any order and any case. sync-users reads the user record ("pin", "name", "pri",
// "passwd", "verify", "card", "vicecard") and "photo"; remove-users only "pin" and ignores the
// rest. Every row is checked, against what a terminal can hold too, before anything is sent.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "record_limits.h"
#include "record_params.h"

namespace facepad::cli {

enum class UserColumns {
    Record,   // the whole user record and its photo
    PinOnly,  // the pin alone
};

struct UserRow {
    std::size_t line = 0;  // in the file, counting from 1 (the header is line 1)
    UserRecord record;
    std::string photoPath;  // as resolved from the file's folder; empty without a photo
    std::size_t photoSize = 0;
    const std::string& Pin() const { return record[kPinMember]; }
};

struct InputProblem {
    std::string file;
    std::size_t line = 0;
    std::string message;
    std::string Text() const;  // "users.csv:12: duplicate pin 1001 (first on line 3)"
};

struct UserFile {
    std::vector<UserRow> rows;
    std::vector<InputProblem> problems;  // nothing may be sent while there is one
    // Members of the user record the header does not name: they would be sent empty.
    std::vector<std::string> missingColumns;
};

// `pins` says how pins compare: "1" and "01" are one user when terminals keep pins as numbers.
UserFile ReadUserFile(const std::string& path, std::size_t maxPhotoBytes, UserColumns columns,
                      PinKind pins);

}  // namespace facepad::cli
