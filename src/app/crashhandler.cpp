// Crash report facility: a debugger backtrace of every thread when the program crashes.
#include "crashhandler.h"

#include <unistd.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
char programName[201];
int count = 0;
const int kSignals[] = {SIGSEGV, SIGFPE, SIGILL, SIGABRT};
}  // namespace

void enableCrashHandler(const char* progName) {
    strncpy(programName, progName, 200);
    programName[200] = '\0';
    for (int sig : kSignals) signal(sig, crashHandler);
}

void disableCrashHandler() {
    for (int sig : kSignals) signal(sig, SIG_DFL);
}

void crashHandler(int sig) {
    if (sig != SIGSEGV && sig != SIGFPE && sig != SIGILL && sig != SIGABRT) return;
    if (++count > 1) exit(1);

    // The debugger's command file is private (mkstemp), never a fixed name in /tmp that
    // another user could plant or link elsewhere.
    char cmdFile[] = "/tmp/nkswarm-gdbcmd-XXXXXX";
    const int fd = mkstemp(cmdFile);
    if (fd < 0) exit(1);
    static const char cmds[] = "set prompt\nthread apply all bt full\n echo \\\n\necho \\\n\nbt\nquit\n";
    if (write(fd, cmds, sizeof cmds - 1) < 0) {
        close(fd);
        unlink(cmdFile);
        exit(1);
    }
    close(fd);

    const int pid = (int)getpid();
    char command[1024];
    snprintf(command, sizeof command,
             "(gdb -q -x %s %s %i |  grep -v \"No symbol table\" |  tee crash-%i.out;  echo \"\n[CRASH_HANDLER]:  "
             "\\\"crash-%i.out\\\" created!\n\") 1>&2",
             cmdFile, programName, pid, pid, pid);
    const int ret = system(command);
    unlink(cmdFile);
    if (ret != 0) printf("Error! Return value: %d\n", ret);
    exit(1);
}
