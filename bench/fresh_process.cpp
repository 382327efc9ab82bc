#include "fresh_process.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <sstream>

extern char** environ;

namespace vvbench {

namespace {

std::string ReadAll(int fd)
{
    std::string text;
    char buffer[4096];
    ssize_t got = 0;
    while ((got = read(fd, buffer, sizeof buffer)) > 0) {
        text.append(buffer, static_cast<std::size_t>(got));
    }
    return text;
}

Measurements ParseLines(const std::string& text)
{
    Measurements values;
    std::istringstream lines(text);
    std::string name;
    double value = 0;
    while (lines >> name >> value) {
        values[name] = value;
    }
    return values;
}

std::string OwnExecutable()
{
    char path[4096] = {};
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    return length > 0 ? std::string(path, static_cast<std::size_t>(length)) : std::string();
}

}  // namespace

Measurements RunFreshProcess(const std::vector<std::string>& arguments)
{
    const std::string self = OwnExecutable();
    std::vector<char*> argv{const_cast<char*>(self.c_str())};
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);

    int out[2];
    if (pipe(out) != 0) {
        return {};
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    pid_t child = 0;
    const int started = posix_spawn(&child, self.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (started != 0) {
        close(out[0]);
        return {};
    }
    const std::string text = ReadAll(out[0]);
    close(out[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return {};
    }
    return ParseLines(text);
}

void Report(const char* name, double value)
{
    std::printf("%s %.17g\n", name, value);
    std::fflush(stdout);
}

}  // namespace vvbench
