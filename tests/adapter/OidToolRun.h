// Runs a command line (RunTool: the built tarvik-oid with arguments) and
// collects its exit status and its output (stdout and stderr together).
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace tarvik::testing {

struct ToolRun {
    int status = -1;
    std::string out;
};

inline ToolRun RunCommand(const std::string& command) {
    ToolRun run;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return run;
    char chunk[4096];
    std::size_t n = 0;
    while ((n = std::fread(chunk, 1, sizeof(chunk), pipe)) > 0) run.out.append(chunk, n);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

inline ToolRun RunTool(const std::string& args) {
    return RunCommand(std::string(TARVIK_BINARY_DIR) + "/bin/tarvik-oid " + args);
}

}  // namespace tarvik::testing
