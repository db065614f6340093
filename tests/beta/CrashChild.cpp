#include "CrashChild.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <thread>

namespace bbtest {

namespace {

// Waits for the child at most `limit`; a child still running then is killed and counts as not
// finished.
ChildEnd waitForChild(pid_t child, std::chrono::milliseconds limit) {
    ChildEnd end;
    if (child < 0) return end;
    const auto until = std::chrono::steady_clock::now() + limit;
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(child, &status, WNOHANG);
        if (done == child) break;
        if (std::chrono::steady_clock::now() >= until) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            return end;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    end.finished = true;
    end.signaled = WIFSIGNALED(status);
    end.signal = end.signaled ? WTERMSIG(status) : 0;
    end.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return end;
}

}  // namespace

ChildEnd runInChild(const std::function<void()>& body, std::chrono::milliseconds limit) {
    const pid_t child = ::fork();
    if (child == 0) {
        body();
        ::_exit(0);
    }
    return waitForChild(child, limit);
}

ChildEnd runProgram(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
                    const std::string& outputFile, std::chrono::milliseconds limit) {
    // Everything the child needs is made before the fork: after it only system calls run.
    std::vector<char*> argv;
    for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    // The given variables come first: the first of two with one name is the one a program reads.
    std::vector<std::string> variables = environment;
    for (char** variable = environ; *variable; ++variable) variables.emplace_back(*variable);
    std::vector<char*> envp;
    for (const auto& variable : variables) envp.push_back(const_cast<char*>(variable.c_str()));
    envp.push_back(nullptr);

    const pid_t child = ::fork();
    if (child == 0) {
        const int output = ::open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (output != -1) {
            ::dup2(output, STDOUT_FILENO);
            ::dup2(output, STDERR_FILENO);
        }
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    return waitForChild(child, limit);
}

}  // namespace bbtest
