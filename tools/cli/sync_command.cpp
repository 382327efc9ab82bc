#include "sync_command.h"

#include "command_support.h"
#include "sync_run.h"

namespace facepad::cli {

namespace {

Verdict SyncUsers(Adapter& a, Output& out, const CommandLine& l)
{
    return std::make_shared<UserSync>(SyncKind::AddUsers, a, out, l)->Run();
}

Verdict RemoveUsers(Adapter& a, Output& out, const CommandLine& l)
{
    return std::make_shared<UserSync>(SyncKind::RemoveUsers, a, out, l)->Run();
}

// What the two share: terminals, results, report, journal, retry, dry run, concurrency.
void AddSyncOptions(CLI::App* sub, CommandLine& l)
{
    sub->add_option("-t,--terminal", l.terminals,
                    "terminal serial number; repeatable, or a comma list: -t FACE-0001,FACE-0002")
        ->delimiter(',');
    sub->add_option("--terminals", l.terminalFiles,
                    "a file of terminal serials, one a line ('#' comments); repeatable");
    sub->add_flag("--skip-terminal-check", l.skipTerminalCheck,
                  "send without checking the terminals against the gateway's list (one it does "
                  "not know, or has not bound, answers -1001 to everything)");
    sub->add_flag("--text-pins", l.textPins,
                  "the terminals keep pins as text: 1 and 01 are two users, pins need not be "
                  "digits (up to 24 bytes)");
    sub->add_flag("--wait-results{30}", l.waitText,
                  "wait up to SECONDS (default 30) for every terminal's result: "
                  "--wait-results[=SECONDS]");
    sub->add_option("--report", l.reportFile, "write one CSV row per user and terminal");
    sub->add_option("--journal", l.journalFile,
                    "record every request; run again with it to resume without sending any "
                    "request twice");
    sub->add_option("--retry-failed", l.retryReport,
                    "send again the pairs that failed in this earlier report (rejected, "
                    "terminal-error, not-sent), after collecting the results still unknown");
    sub->add_flag("--resend-unconfirmed", l.resendUnconfirmed,
                  "with --retry-failed: send again also the pairs that were sent, or may have "
                  "been (sent, no-result, uncertain), though they may have been carried out");
    sub->add_flag("--dry-run", l.dryRun, "check everything, send nothing");
    sub->add_option("--jobs", l.jobs, "requests in flight at once, through the one adapter")
        ->capture_default_str()
        ->check(CLI::Range(1, 64));
    sub->add_flag("!--no-progress", l.progress, "no progress on stderr");
}

}  // namespace

void AddSyncCommands(CLI::App& app, CommandLine& l)
{
    CLI::App* sync = Subcommand(
        app, l, "sync-users", "send every user of a CSV file (and photo) to terminals", &SyncUsers);
    sync->add_option("CSV", l.csvFile,
                     "users file: header row, then one user per row; columns pin, name, pri, "
                     "passwd, verify, card, vicecard (each sync replaces the whole record), "
                     "photo (a JPEG or PNG file; optional)")
        ->required();
    AddSyncOptions(sync, l);
    sync->add_option("--max-photo-bytes", l.maxPhotoBytes, "refuse larger photos before reading")
        ->capture_default_str();
    sync->add_flag("--allow-missing-columns", l.allowMissingColumns,
                   "send the record members the file has no column for as empty values");

    CLI::App* remove =
        Subcommand(app, l, "remove-users",
                   "delete every user of a CSV file (its pin column) from terminals", &RemoveUsers);
    remove->add_option("CSV", l.csvFile, "users file with a pin column; other columns are ignored")
        ->required();
    AddSyncOptions(remove, l);
}

}  // namespace facepad::cli
