#include "sync_command.h"

#include "command_support.h"
#include "sync_run.h"

namespace facepad::cli {

namespace {

Verdict SyncUsers(Adapter& a, Output& out, const CommandLine& l)
{
    return UserSync(a, out, l).Run();
}

}  // namespace

void AddSyncCommand(CLI::App& app, CommandLine& l)
{
    CLI::App* sync = Subcommand(
        app, l, "sync-users", "send every user of a CSV file (and photo) to terminals", &SyncUsers);
    sync->add_option("CSV", l.csvFile,
                     "users file: header row, then one user per row; columns pin (required), "
                     "name, pri, passwd, verify, card, vicecard, photo (a JPEG or PNG file)")
        ->required();
    sync->add_option("-t,--terminal", l.terminals, "terminal serial number; repeatable");
    sync->add_flag("--wait-results{30}", l.waitSeconds,
                   "wait up to SECONDS (default 30) for every terminal's result: "
                   "--wait-results[=SECONDS]");
    sync->add_option("--report", l.reportFile, "write one CSV row per user and terminal");
    sync->add_option("--journal", l.journalFile,
                     "record every request; run again with it to resume without sending any "
                     "user twice");
    sync->add_option("--retry-failed", l.retryReport,
                     "send only the users whose state in this earlier report is not \"done\"");
    sync->add_flag("--dry-run", l.dryRun, "check everything, send nothing");
    sync->add_option("--max-photo-bytes", l.maxPhotoBytes, "refuse larger photos before reading")
        ->capture_default_str();
    sync->add_flag("!--no-progress", l.progress, "no progress on stderr");
}

}  // namespace facepad::cli
