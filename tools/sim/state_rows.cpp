#include "state_rows.h"

namespace facepad::sim {

void PutUserRow(Connection& db, const std::string& serial, const std::string& pin,
                const UserRecord& user)
{
    const std::string sql = std::string("INSERT OR REPLACE INTO terminal_user (serial, ") +
                            kUserColumns + ") VALUES (?, ?, ?, ?, ?, ?, ?, ?)";
    db.Prepare(sql.c_str())
        .Bind(1, serial)
        .Bind(2, pin)
        .Bind(3, user.name)
        .Bind(4, static_cast<long long>(user.pri))
        .Bind(5, user.passwd)
        .Bind(6, static_cast<long long>(user.verify))
        .Bind(7, user.card)
        .Bind(8, user.vicecard)
        .Run();
}

void PutPhotoRow(Connection& db, const std::string& serial, const std::string& pin, int type,
                 const PhotoRecord& photo)
{
    db.Prepare(
          "INSERT OR REPLACE INTO photo (serial, pin, type, size, content, url, format) "
          "VALUES (?, ?, ?, ?, ?, ?, ?)")
        .Bind(1, serial)
        .Bind(2, pin)
        .Bind(3, static_cast<long long>(type))
        .Bind(4, static_cast<long long>(photo.size))
        .Bind(5, photo.content)
        .Bind(6, photo.url)
        .Bind(7, static_cast<long long>(photo.format))
        .Run();
}

void PutNamedValue(Connection& db, const char* table, const std::string& name,
                   const std::string& value)
{
    const std::string sql =
        std::string("INSERT OR REPLACE INTO ") + table + " (name, value) VALUES (?, ?)";
    db.Prepare(sql.c_str()).Bind(1, name).Bind(2, value).Run();
}

void AddUnlockRow(Connection& db, const std::string& serial, const std::string& commandId)
{
    db.Prepare("INSERT INTO unlock_event (serial, command_id) VALUES (?, ?)")
        .Bind(1, serial)
        .Bind(2, commandId)
        .Run();
}

std::vector<ResultEntry> QueuedResults(Connection& db)
{
    std::vector<ResultEntry> queued;
    Statement query =
        db.Prepare("SELECT serial, command_id, code FROM pending_result ORDER BY seq");
    while (query.Step()) {
        queued.push_back(ResultEntry{query.Text(0), query.Text(1), query.Text(2)});
    }
    return queued;
}

UserRecord UserOfRow(const Statement& row, int first)
{
    return UserRecord{row.Text(first),     row.Text(first + 1),       IntColumn(row, first + 2),
                      row.Text(first + 3), IntColumn(row, first + 4), row.Text(first + 5),
                      row.Text(first + 6)};
}

int IntColumn(const Statement& row, int column)
{
    return static_cast<int>(row.Integer(column));
}

}  // namespace facepad::sim
