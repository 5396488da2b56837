// Optional crash report: on a fatal signal, attach gdb and save all threads' backtraces
// to crash-<pid>.out in the working directory. Not enabled by main.
#pragma once

void enableCrashHandler(const char* progName);
void disableCrashHandler();
void crashHandler(int sig);
