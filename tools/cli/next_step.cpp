#include "next_step.h"

#include <algorithm>
#include <filesystem>
#include <initializer_list>
#include <vector>

namespace facepad::cli {

namespace {

using Words = std::vector<std::string>;

// Quoted only where a shell would split, expand or glob the word.
std::string Quoted(const std::string& word)
{
    const bool plain = !word.empty() && word.find_first_not_of(
                                            "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                            "0123456789_@%+=:,./-") == std::string::npos;
    if (plain) {
        return word;
    }
#ifdef _WIN32
    return "\"" + word + "\"";
#else
    std::string quoted = "'";
    for (const char c : word) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
#endif
}

std::string ShellLine(const Words& words)
{
    std::string line;
    for (const std::string& word : words) {
        line += (line.empty() ? "" : " ") + Quoted(word);
    }
    return line;
}

// The words without the options named (as "--name VALUE" or "--name=VALUE").
Words Without(const Words& words, std::initializer_list<const char*> options)
{
    Words kept;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        const auto named = [&](const char* option) {
            const std::string name = option;
            return word == name || word.rfind(name + "=", 0) == 0;
        };
        if (std::none_of(options.begin(), options.end(), named)) {
            kept.push_back(word);
        } else if (word.find('=') == std::string::npos) {
            ++i;  // its value
        }
    }
    return kept;
}

// A name beside `path` that no file has yet: "staff-report.retry1.csv".
std::string FreshName(const std::string& path, const std::string& tag)
{
    const std::filesystem::path original(path);
    for (int n = 1;; ++n) {
        std::filesystem::path fresh = original;
        fresh.replace_filename(original.stem().string() + "." + tag + std::to_string(n) +
                               original.extension().string());
        std::error_code ignored;
        if (!std::filesystem::exists(fresh, ignored)) {
            return fresh.string();
        }
    }
}

// The failures of the report sent again and the unconfirmed pairs' results collected first, under
// a new sync id, so a new journal and a new report.
Words RetryCommand(const CommandLine& line)
{
    Words words = Without(line.argv, {"--journal", "--report", "--retry-failed"});
    words.insert(words.end(), {"--retry-failed", line.reportFile, "--report",
                               FreshName(line.reportFile, "retry")});
    if (!line.journalFile.empty()) {
        words.insert(words.end(), {"--journal", FreshName(line.journalFile, "retry")});
    }
    return words;
}

std::string Stopped(const CommandLine& line, const RunEnding& ending)
{
    const std::string same = ShellLine(line.argv);
    if (ending.journalFailed) {
        return "make room for the journal " + line.journalFile +
               " (or move it, whole), then resume with it: " + same;
    }
    if (!line.journalFile.empty()) {
        return "resume with the same journal, which sends nothing twice: " + same;
    }
    if (!line.reportFile.empty()) {
        return "retry what is not done (results still unknown are collected first, nothing that "
               "may have been carried out is sent again): " +
               ShellLine(RetryCommand(line));
    }
    return "no --journal or --report recorded what went out, so the same command would send "
           "everything again; check the gateway's state, and give --journal next time";
}

std::string Completed(const CommandLine& line, const RunEnding& ending)
{
    if (ending.failed == 0 && ending.unconfirmed == 0) {
        return "nothing to do";
    }
    const bool onlyUnconfirmed = ending.failed == 0;
    if (onlyUnconfirmed && !ending.waited && !line.journalFile.empty()) {
        Words words = Without(line.argv, {"--wait-results"});
        words.push_back("--wait-results=60");
        return "collect the results still unknown with the same journal (it sends nothing "
               "again): " +
               ShellLine(words);
    }
    if (!line.reportFile.empty() && !onlyUnconfirmed) {
        return "retry the " + std::to_string(ending.failed) + " failed pair(s)" +
               (ending.unconfirmed > 0 ? " (the results still unknown are collected first)" : "") +
               ": " + ShellLine(RetryCommand(line));
    }
    if (!line.reportFile.empty()) {
        Words words = RetryCommand(line);
        words.push_back("--resend-unconfirmed");
        return "no result came for " + std::to_string(ending.unconfirmed) +
               " pair(s) that may have been carried out: look on the terminals; to send them "
               "again all the same: " +
               ShellLine(words);
    }
    if (!line.journalFile.empty()) {
        Words words = line.argv;
        words.insert(words.end(), {"--report", FreshName(line.journalFile + ".csv", "report")});
        return "write a report with the same journal (it sends nothing again), then give it to "
               "--retry-failed: " +
               ShellLine(words);
    }
    return "the pairs not done are listed above; give --report (and --journal) next time to "
           "retry only them";
}

}  // namespace

std::string NextStep(const CommandLine& line, const RunEnding& ending)
{
    return "next: " + (ending.stopped ? Stopped(line, ending) : Completed(line, ending));
}

}  // namespace facepad::cli
