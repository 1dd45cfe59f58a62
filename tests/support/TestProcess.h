// Running a built program as a user runs it, for the tests of the command
// line: arguments, standard input from /dev/null, standard output and error
// into files, judged by exit status and what it printed.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/support/TestFiles.h"

extern char** environ;

namespace vwtest {

struct RunResult {
    int status = -1;  // the exit status, 128 + the signal when one ended it, -1 when it did not start
    std::string out;
    std::string err;
};

// Starts program with args (argv[1]...) in the environment of the test, its
// standard input from /dev/null, standard output into outPath and standard
// error into errPath, in the folder cwd when it is not empty. Does not wait:
// the process id, or -1 when it could not be started.
inline pid_t StartProgram(const std::string& program, std::vector<std::string> args, const std::string& outPath,
                          const std::string& errPath, const std::string& cwd = {})
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
    pid_t pid = 0;
    const bool bStarted = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    return bStarted ? pid : -1;
}

// Waits for the process to end: its exit status, 128 + the signal when one
// ended it, -1 for no process.
inline int WaitProgram(pid_t pid)
{
    int wstatus = 0;
    if (pid <= 0 || waitpid(pid, &wstatus, 0) != pid)
        return -1;
    return WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
}

// Runs program as StartProgram does and waits for it to end; its output is
// read back (outPath only when bReadOut).
inline RunResult RunProgram(const std::string& program, std::vector<std::string> args, const std::string& outPath,
                            const std::string& errPath, const std::string& cwd = {}, bool bReadOut = true)
{
    RunResult result;
    result.status = WaitProgram(StartProgram(program, std::move(args), outPath, errPath, cwd));
    if (bReadOut)
        result.out = ReadFileText(outPath);
    result.err = ReadFileText(errPath);
    return result;
}

}  // namespace vwtest
