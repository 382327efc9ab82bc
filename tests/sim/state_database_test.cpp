// The state database: what survives a reopen, which files are refused (and left alone), what a
// change that cannot be committed does.
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>

#include "gateway_test.h"

namespace {

// A gateway that has seen one of every kind of change.
void FillWithEverything(Gateway& gateway)
{
    gateway.Handle(endpoint::kBinding, "SN=T1\tch=3");
    gateway.Handle(
        endpoint::kAddUser,
        simtest::CommandBody("T1", "1", simtest::UserJson("1001", "Ada \\\"A\\\"", 2, 1)));
    gateway.Handle(
        endpoint::kSetBioPhoto,
        simtest::CommandBody("T1", "2", simtest::PhotoJson("1001", 9, "QUJD", "http://x/y")));
    gateway.Handle(endpoint::kControlDevice, "SN=T1\tid=3\tcmd=AC_UNLOCK\tdata=");
    gateway.Handle(endpoint::kSetPort, "port=10005\treset0");
    gateway.Handle(endpoint::kSetInitParam, simtest::InitBody("30"));
}

// Runs `sql` on the database file through a connection of the test's own.
void Execute(const simtest::Scratch& file, const std::string& sql)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.path.c_str(), &db), SQLITE_OK);
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK)
        << (error ? error : "");
    sqlite3_free(error);
    sqlite3_close(db);
}

TEST(StateDatabase, EverythingKeptSurvivesAReopenAndTheCommandLineDecidesConnections)
{
    simtest::Scratch file("reopen.db");
    GatewayData before;
    {
        Gateway original{{{"T1", true}, {"GONE", true}}, file.path};
        FillWithEverything(original);
        original.Handle(endpoint::kBinding, "SN=GONE\tch=4");
        before = original.State().Snapshot();
    }
    Gateway reopened{{{"T1", false}, {"NEW", true}}, file.path};
    const GatewayData after = reopened.State().Snapshot();
    // Every member, each of the kinds filled above among them.
    GatewayData keptOnly = after;
    keptOnly.terminals.erase("NEW");
    for (auto& [serial, terminal] : keptOnly.terminals) {
        terminal.connected = before.terminals.at(serial).connected;  // not kept: checked below
    }
    EXPECT_TRUE(keptOnly == before);

    EXPECT_FALSE(after.terminals.at("T1").connected) << "the command line decides connections";
    EXPECT_FALSE(after.terminals.at("GONE").connected) << "known only from the state: offline";
    EXPECT_EQ(after.terminals.at("GONE").channel, 4);
    EXPECT_TRUE(after.terminals.at("NEW").connected);
    // Results not yet fetched are kept too, and handed out once.
    EXPECT_EQ(simtest::DrainResults(reopened),
              (std::vector<simtest::Result>{
                  {"T1", "1", code::kDone}, {"T1", "2", code::kDone}, {"T1", "3", code::kDone}}));
    EXPECT_TRUE(simtest::DrainResults(reopened).empty());
}

// A state of the first schema, which had no folded search key, opens brought up to date.
TEST(StateDatabase, AStateOfTheFirstSchemaOpensWithItsUsersFoundByTheFoldedSearch)
{
    simtest::Scratch file("first_schema.db");
    {
        Gateway written{{{"T1", true}}, file.path};
        written.Handle(endpoint::kBinding, "SN=T1\tch=1");
        written.Handle(endpoint::kAddUser, CommandBody("T1", "1", UserJson("7", "Zoë Müller")));
    }
    Execute(file,
            "DROP INDEX user_search; ALTER TABLE terminal_user DROP COLUMN search_key;"
            "PRAGMA user_version = 1");
    Gateway reopened{{{"T1", true}}, file.path};
    facepad::sim::UserFilter filter;
    filter.search = "MULLER";
    const auto found = reopened.State().Overview(filter, 0);
    ASSERT_EQ(found.users.size(), 1u);
    EXPECT_EQ(found.users[0].user.name, "Zoë Müller");
}

TEST(StateDatabase, FilesItCannotUseAreRefusedWithTheReasonAndLeftAsTheyWere)
{
    struct Case {
        const char* name;
        std::function<void(const simtest::Scratch&)> make;
        const char* reason;
    };
    const auto write = [](const std::string& text) {
        return [text](const simtest::Scratch& file) { std::ofstream(file.path) << text; };
    };
    const Case cases[] = {
        {"directory", [](const simtest::Scratch& f) { mkdir(f.path.c_str(), 0700); },
         "is not a regular file"},
        {"text", write("hello"), "not a SQLite database"},
        {"json", write("{\n  \"version\":1\n}\n"),
         "is a JSON state file of an earlier simulator; this one reads only its SQLite state"},
        {"broken", write(std::string("SQLite format 3\0", 16) + std::string(4096, 'x')),
         "not a database"},
        {"foreign", [](const simtest::Scratch& f) { Execute(f, "CREATE TABLE t (x)"); },
         "another program"},
        {"newer",
         [](const simtest::Scratch& f) {
             Gateway{{}, f.path};  // a temporary: the file is closed again
             Execute(f, "PRAGMA user_version = 3");
         },
         "newer facepad-gateway-sim (schema version 3; this one reads up to version 2)"},
    };
    for (const Case& c : cases) {
        simtest::Scratch file(std::string("refused_") + c.name);
        c.make(file);
        const std::string contents = file.Contents();
        try {
            Gateway gateway{{{"T1", true}}, file.path};
            ADD_FAILURE() << c.name << ": opened";
        } catch (const facepad::sim::StoreError& error) {
            EXPECT_NE(std::string(error.what()).find(c.reason), std::string::npos)
                << c.name << ": " << error.what();
            EXPECT_NE(std::string(error.what()).find(file.path), std::string::npos) << c.name;
        }
        EXPECT_EQ(file.Contents(), contents) << c.name << ": the file was changed";
    }
}

TEST(StateDatabase, ChangeThatCannotBeCommittedIs500AndLeavesTheStateAsItWas)
{
    struct Case {
        const char* table;
        const char* path;
        std::string body;
    };
    const Case cases[] = {
        {"terminal", endpoint::kBinding, "SN=T1\tch=2"},
        {"pending_result", endpoint::kAddUser,
         simtest::CommandBody("T1", "5", simtest::UserJson("2002", "Bo"))},
        {"photo", endpoint::kSetBioPhoto,
         simtest::CommandBody("T1", "6", simtest::PhotoJson("1001", 9, "QkM="))},
        {"init_param", endpoint::kSetInitParam, simtest::InitBody("99")},
        {"pending_result", endpoint::kGetResult, ""},
    };
    for (const Case& c : cases) {
        simtest::Scratch file(std::string("uncommitted_") + c.table);
        Gateway gateway{{{"T1", true}}, file.path};
        FillWithEverything(gateway);
        const GatewayData before = gateway.State().Snapshot();
        // Triggers that fail every change of the table stand in for a full disk.
        const std::string fail =
            " ON " + std::string(c.table) + " BEGIN SELECT RAISE(ABORT, 'no room left'); END;";
        const bool drains = std::string(c.path) == endpoint::kGetResult;
        Execute(file, std::string("CREATE TRIGGER no_room BEFORE ") +
                          (drains ? "DELETE" : "INSERT") + fail +
                          "CREATE TRIGGER no_room_u BEFORE UPDATE" + fail);
        const auto reply = gateway.Handle(c.path, c.body);
        EXPECT_EQ(reply.status, 500) << c.path << ": " << reply.body;
        EXPECT_NE(reply.body.find("state not changed"), std::string::npos) << reply.body;
        EXPECT_NE(reply.body.find("no room left"), std::string::npos) << reply.body;
        EXPECT_TRUE(gateway.State().Snapshot() == before) << c.path;

        Execute(file, "DROP TRIGGER no_room; DROP TRIGGER no_room_u");
        EXPECT_EQ(gateway.Handle(c.path, c.body).status, 200) << c.path << " after the fault";
    }
}

}  // namespace
