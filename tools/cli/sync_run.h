// One run of sync-users: check the input, send what the journal has not seen, wait for results,
// give every user on every terminal a final state.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "command_line.h"
#include "gateway_call.h"
#include "output.h"
#include "sync_journal.h"
#include "sync_report.h"
#include "user_csv.h"

namespace facepad::cli {

class UserSync {
public:
    UserSync(Adapter& adapter, Output& out, const CommandLine& line);
    Verdict Run();

private:
    struct Item {
        const UserRow* row;
        std::string serial;
    };

    Verdict Prepare();
    bool ChooseItems();
    void SendAll();
    void SendItem(const Item& item);
    // Sends one request unless the journal already has it; false when the sync must stop.
    bool SendOnce(const Item& item, const char* kind, const std::function<bool()>& request);
    bool SendPhoto(const Item& item);
    void WaitForResults();
    bool AllResultsIn() const;
    UserOutcome Outcome(const Item& item) const;
    Verdict Finish(const std::vector<UserOutcome>& outcomes);

    std::string CommandId(const Item& item, const char* kind) const;
    JournalKey Key(const Item& item, const char* kind) const;

    Adapter& m_adapter;
    Output& m_out;
    const CommandLine& m_line;
    UserFile m_users;
    std::vector<Item> m_items;
    SyncJournal m_journal;
    // (serial, command id) -> request; filled before the callback is installed, then only read.
    std::map<std::pair<std::string, std::string>, JournalKey> m_keysById;
    std::string m_stopReason;  // why sending stopped early
    ExitCode m_stopCode = ExitCode::Success;
    bool m_waited = false;
};

}  // namespace facepad::cli
