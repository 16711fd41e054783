#include "ChildProcess.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace morvik::testing {

namespace {

using Clock = std::chrono::steady_clock;

std::vector<char*> pointersTo(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

// Everything the child needs, prepared before fork: only async-signal-safe calls follow it.
struct LaunchPlan {
    std::vector<std::string> argv;
    std::vector<std::string> envp;
};

LaunchPlan planFor(const std::string& program, const std::vector<std::string>& arguments,
                   const std::vector<std::string>& environment) {
    LaunchPlan plan;
    plan.argv.push_back(program);
    plan.argv.insert(plan.argv.end(), arguments.begin(), arguments.end());
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text(*entry);
        const std::string name = text.substr(0, text.find('='));
        bool overridden = false;
        for (const std::string& extra : environment) {
            overridden = overridden || extra.substr(0, extra.find('=')) == name;
        }
        if (!overridden) {
            plan.envp.push_back(text);
        }
    }
    plan.envp.insert(plan.envp.end(), environment.begin(), environment.end());
    return plan;
}

int exitCodeOf(int status) {
    if (WIFEXITED(status)) {
        return WEXITSTATUS(status);
    }
    return -1;
}

} // namespace

ProcessResult runProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const std::vector<std::string>& environment,
                         std::chrono::milliseconds limit) {
    ProcessResult result;
    LaunchPlan plan = planFor(program, arguments, environment);
    std::vector<char*> argv = pointersTo(plan.argv);
    std::vector<char*> envp = pointersTo(plan.envp);
    int outPipe[2];
    int errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0) {
        result.err = "pipe failed";
        return result;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        const int devNull = open("/dev/null", O_RDONLY);
        dup2(devNull, STDIN_FILENO);
        dup2(outPipe[1], STDOUT_FILENO);
        dup2(errPipe[1], STDERR_FILENO);
        execve(program.c_str(), argv.data(), envp.data());
        _exit(127);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    if (pid < 0) {
        close(outPipe[0]);
        close(errPipe[0]);
        result.err = "fork failed";
        return result;
    }

    const Clock::time_point deadline = Clock::now() + limit;
    std::array<pollfd, 2> streams{pollfd{outPipe[0], POLLIN, 0}, pollfd{errPipe[0], POLLIN, 0}};
    std::array<std::string*, 2> sinks{&result.out, &result.err};
    int openStreams = 2;
    std::array<char, 4096> buffer{};
    while (openStreams > 0) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            result.timedOut = true;
            kill(pid, SIGKILL);
            break;
        }
        if (poll(streams.data(), streams.size(), static_cast<int>(left.count())) < 0 &&
            errno != EINTR) {
            break;
        }
        for (std::size_t i = 0; i < streams.size(); ++i) {
            if (streams[i].fd < 0 || (streams[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
                continue;
            }
            const ssize_t got = read(streams[i].fd, buffer.data(), buffer.size());
            if (got > 0) {
                sinks[i]->append(buffer.data(), static_cast<std::size_t>(got));
            } else {
                close(streams[i].fd);
                streams[i].fd = -1;
                --openStreams;
            }
        }
    }
    for (const pollfd& stream : streams) {
        if (stream.fd >= 0) {
            close(stream.fd);
        }
    }
    int status = 0;
    waitpid(pid, &status, 0);
    result.exitCode = result.timedOut ? -1 : exitCodeOf(status);
    return result;
}

BackgroundProcess::BackgroundProcess(const std::string& program,
                                     const std::vector<std::string>& arguments,
                                     const std::string& outputFile) {
    LaunchPlan plan = planFor(program, arguments, {});
    std::vector<char*> argv = pointersTo(plan.argv);
    std::vector<char*> envp = pointersTo(plan.envp);
    pid_ = fork();
    if (pid_ == 0) {
        const int devNull = open("/dev/null", O_RDONLY);
        const int output = open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(devNull, STDIN_FILENO);
        dup2(output, STDOUT_FILENO);
        dup2(output, STDERR_FILENO);
        execve(program.c_str(), argv.data(), envp.data());
        _exit(127);
    }
}

BackgroundProcess::~BackgroundProcess() {
    stop();
}

bool BackgroundProcess::running() {
    if (pid_ <= 0) {
        return false;
    }
    int status = 0;
    const pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
        status_ = exitCodeOf(status);
        pid_ = -1;
        return false;
    }
    return true;
}

int BackgroundProcess::stop() {
    if (!running()) {
        return status_;
    }
    kill(pid_, SIGTERM);
    for (int i = 0; i < 100 && running(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (running()) {
        kill(pid_, SIGKILL);
        int status = 0;
        waitpid(pid_, &status, 0);
        status_ = -1;
        pid_ = -1;
    }
    return status_;
}

} // namespace morvik::testing
