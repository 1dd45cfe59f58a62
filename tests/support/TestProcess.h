// Running a built program as a user runs it, for the tests of the command
// line: arguments, standard input from /dev/null, standard output and error
// into files, judged by exit status and what it printed.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <string>
#include <vector>

#include "tests/support/TestFiles.h"

extern char** environ;

namespace vwtest {

struct RunResult {
    int status = -1;  // the exit status, 128 + the signal when one ended it, -1 when it did not start
    std::string out;
    std::string err;
};

// Runs program with args (argv[1]...) in the environment of the test, its
// standard output into outPath and its standard error into errPath, which
// are read back (outPath only when bReadOut), in the folder cwd when it is
// not empty. Waits for it to end.
inline RunResult RunProgram(const std::string& program, std::vector<std::string> args, const std::string& outPath,
                            const std::string& errPath, const std::string& cwd = {}, bool bReadOut = true)
{
    args.insert(args.begin(), program);
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (!cwd.empty())
        posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
    RunResult result;
    pid_t pid = 0;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
        int wstatus = 0;
        waitpid(pid, &wstatus, 0);
        result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
    }
    posix_spawn_file_actions_destroy(&actions);
    if (bReadOut)
        result.out = ReadFileText(outPath);
    result.err = ReadFileText(errPath);
    return result;
}

}  // namespace vwtest
