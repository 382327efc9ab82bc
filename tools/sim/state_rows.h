// The rows that the commands, the snapshot with its import and the overview all read or write:
// one place for each row's SQL, so that the three cannot drift apart.
#pragma once

#include <string>
#include <vector>

#include "gateway_records.h"
#include "sqlite_db.h"

namespace facepad::sim {

// A user row's columns after its serial, in UserRecord's order (see UserOfRow).
inline constexpr char kUserColumns[] = "pin, name, pri, passwd, verify, card, vicecard";

// Adds or replaces the user `pin` of terminal `serial`.
void PutUserRow(Connection& db, const std::string& serial, const std::string& pin,
                const UserRecord& user);
// Adds or replaces the photo of type `type` of user `pin` on terminal `serial`.
void PutPhotoRow(Connection& db, const std::string& serial, const std::string& pin, int type,
                 const PhotoRecord& photo);
// Adds or replaces one name-value row of `table` ("setting" or "init_param").
void PutNamedValue(Connection& db, const char* table, const std::string& name,
                   const std::string& value);
void AddUnlockRow(Connection& db, const std::string& serial, const std::string& commandId);
// The results waiting for "facepad/getresult", oldest first.
std::vector<ResultEntry> QueuedResults(Connection& db);

// The user whose kUserColumns start at column `first` of the current row.
UserRecord UserOfRow(const Statement& row, int first);
// An INTEGER column written from an int: by this simulator, through the statements above.
int IntColumn(const Statement& row, int column);

// Settings and init settings, into any state value that has them.
template <class State>
void ReadSettings(Connection& db, State& state)
{
    Statement settings = db.Prepare("SELECT name, value FROM setting");
    while (settings.Step()) {
        (settings.Text(0) == "listenPort" ? state.listenPort : state.resetValue) = settings.Text(1);
    }
    Statement params = db.Prepare("SELECT name, value FROM init_param");
    while (params.Step()) {
        state.initParams[params.Text(0)] = params.Text(1);
    }
}

// Settings, init settings, every unlock and every queued result.
template <class State>
void ReadSettingsAndEvents(Connection& db, State& state)
{
    ReadSettings(db, state);
    Statement unlocks = db.Prepare("SELECT serial, command_id FROM unlock_event ORDER BY seq");
    while (unlocks.Step()) {
        state.unlocks.push_back(UnlockEvent{unlocks.Text(0), unlocks.Text(1)});
    }
    state.pendingResults = QueuedResults(db);
}

}  // namespace facepad::sim
