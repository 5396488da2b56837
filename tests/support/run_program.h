// Runs the nkswarm program as a child process with a time limit and captures its output.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

struct ProgramResult {
    int status = -1;  // exit status, or -1 when killed (time limit) or signalled
    bool timedOut = false;
    std::string out;
    std::string err;
};

inline std::string readFileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Runs `binary` with argv[0] = `argv0` and the given arguments in directory `cwd`.
inline ProgramResult runProgram(const std::string& binary, const std::string& argv0,
                                const std::vector<std::string>& args, const std::string& cwd,
                                int timeLimitSeconds = 60) {
    ProgramResult res;
    char outTemplate[] = "/tmp/nkrun-out-XXXXXX";
    char errTemplate[] = "/tmp/nkrun-err-XXXXXX";
    int outFd = mkstemp(outTemplate);
    int errFd = mkstemp(errTemplate);
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(cwd.c_str()) != 0) _exit(127);
        int devnull = open("/dev/null", O_RDONLY);
        dup2(devnull, 0);
        dup2(outFd, 1);
        dup2(errFd, 2);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(argv0.c_str()));
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(binary.c_str(), argv.data());
        _exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeLimitSeconds);
    int wstatus = 0;
    for (;;) {
        pid_t r = waitpid(pid, &wstatus, WNOHANG);
        if (r == pid) break;
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &wstatus, 0);
            res.timedOut = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    close(outFd);
    close(errFd);
    res.out = readFileText(outTemplate);
    res.err = readFileText(errTemplate);
    unlink(outTemplate);
    unlink(errTemplate);
    if (!res.timedOut && WIFEXITED(wstatus)) res.status = WEXITSTATUS(wstatus);
    return res;
}
