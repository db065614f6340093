#pragma once
// The quorix program run on a data folder with commands fed through a pipe, as a person's
// script would drive it, and its peak resident memory as /proc tells it (VmHWM). The peak is
// read while the program still runs: the peak the operating system reports once a child ended
// would also count the pages of the benchmark's own process, which the child held between fork
// and exec.
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "BenchSupport.h"

namespace qxbench {

struct ProgramRun {
    double peakMB = 0;
    double ms = 0;       // from its start until it ended
    std::string output;  // what it printed up to the point the caller waited for
    bool ok = false;     // it took the commands and ended well
};

inline double peakMegabytes(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
    return 0;
}

// Starts `program --home HOME --no-demo`, writes the commands, reads its output until `ran`
// says every command has run, reads the peak and tells it to quit.
inline ProgramRun runProgram(const std::filesystem::path& program, const std::filesystem::path& home,
                             const std::string& commands, const std::function<bool(const std::string&)>& ran) {
    ProgramRun run;
    const auto start = std::chrono::steady_clock::now();
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) return run;
    const pid_t child = fork();
    if (child == 0) {
        dup2(in[0], STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        for (int fd : {in[0], in[1], out[0], out[1]}) close(fd);
        execl(program.c_str(), program.c_str(), "--home", home.c_str(), "--no-demo", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    bool fed = write(in[1], commands.data(), commands.size()) == static_cast<ssize_t>(commands.size());
    char buffer[65536];
    for (ssize_t n; !ran(run.output) && (n = read(out[0], buffer, sizeof buffer)) > 0;)
        run.output.append(buffer, static_cast<std::size_t>(n));
    run.peakMB = peakMegabytes(child);
    fed = fed && write(in[1], "quit\n", 5) == 5;
    close(in[1]);
    while (read(out[0], buffer, sizeof buffer) > 0) {
    }
    close(out[0]);
    int status = 0;
    waitpid(child, &status, 0);
    run.ok = fed && ran(run.output) && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    run.ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    return run;
}

// One run of the program as an iteration of `state`, timed by the run: its peak goes into the
// table as `measure` against `budgetMB`, and into the state's counters.
inline ProgramRun measureProgramPeak(benchmark::State& state, const std::string& measure, double budgetMB,
                                     const std::filesystem::path& program, const std::filesystem::path& home,
                                     const std::string& commands,
                                     const std::function<bool(const std::string&)>& ran) {
    const ProgramRun run = runProgram(program, home, commands, ran);
    Table::shared().ours(measure, run.peakMB);
    Table::shared().unit(measure, "MB");
    Table::shared().budget(measure, budgetMB);
    state.SetIterationTime(run.ms / 1000);
    state.counters["peak_MB"] = run.peakMB;
    state.counters["ratio"] = run.peakMB / budgetMB;
    return run;
}

}  // namespace qxbench
