#pragma once

#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

namespace morvik::testing {

struct ProcessResult {
    int exitCode = -1; // -1 when it did not end by itself
    std::string out;
    std::string err;
    bool timedOut = false;
};

// Runs a program to its end (standard input from /dev/null, so never a terminal), with
// `environment` ("NAME=value") added to this process's environment. A program that outlives
// `limit` is killed and reported as timed out.
ProcessResult runProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const std::vector<std::string>& environment = {},
                         std::chrono::milliseconds limit = std::chrono::seconds(60));

// A program running beside the test (the simulator): its output goes to a file; it is
// stopped, by its own process id, when the object goes.
class BackgroundProcess {
public:
    BackgroundProcess(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& outputFile);
    BackgroundProcess(const BackgroundProcess&) = delete;
    BackgroundProcess& operator=(const BackgroundProcess&) = delete;
    ~BackgroundProcess();

    bool running();
    // SIGTERM, then SIGKILL after a grace period; the exit status (or -1).
    int stop();
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    int status_ = -1;
};

} // namespace morvik::testing
