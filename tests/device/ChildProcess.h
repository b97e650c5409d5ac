#pragma once

// A program run by a test, its standard input and output (and, when asked, its standard
// error) piped to the test. Every read and wait is bounded in real time.

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

struct ChildOptions {
    std::vector<std::string> env; // replaces the environment when not empty
    bool captureStderr = false;
};

class CChildProcess {
public:
    explicit CChildProcess(std::vector<std::string> args, ChildOptions options = {}) {
        std::vector<char*> argv, envp; // built before the fork
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        for (std::string& entry : options.env) {
            envp.push_back(entry.data());
        }
        argv.push_back(nullptr);
        envp.push_back(nullptr);
        int in[2], out[2], err[2] = {-1, -1};
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 ||
            (options.captureStderr && ::pipe2(err, O_CLOEXEC) != 0)) {
            return;
        }
        pid = ::fork();
        if (pid == 0) {
            ::dup2(in[0], STDIN_FILENO);
            ::dup2(out[1], STDOUT_FILENO);
            if (err[1] >= 0) {
                ::dup2(err[1], STDERR_FILENO);
            }
            options.env.empty() ? ::execv(argv[0], argv.data())
                                : ::execve(argv[0], argv.data(), envp.data());
            ::_exit(127);
        }
        for (int fd : {in[0], out[1], err[1]}) {
            Close(fd);
        }
        toChild = in[1];
        fds[0] = out[0];
        fds[1] = err[0];
    }
    ~CChildProcess() { Finish(5000); }
    CChildProcess(const CChildProcess&) = delete;
    CChildProcess& operator=(const CChildProcess&) = delete;

    void CloseInput() { Close(toChild); }
    bool Send(const std::string& text) {
        return toChild >= 0 && ::write(toChild, text.data(), text.size()) == ssize_t(text.size());
    }
    // The next line of standard output not yet taken; empty on end of output or time-out.
    std::string ReadLine(int realMs = 20000) {
        if (!ReadUntil([&] { return out.find('\n', taken) != std::string::npos; }, realMs)) {
            return {};
        }
        const std::size_t end = out.find('\n', taken);
        std::string line = out.substr(taken, end - taken);
        taken = end + 1;
        return line;
    }
    bool WaitForOutput(const std::string& text, int realMs = 60000) {
        return ReadUntil([&] { return out.find(text) != std::string::npos; }, realMs);
    }
    // Closes the input, reads all output and returns the exit status; a child still running
    // after `realMs` is killed, which gives -1.
    int Finish(int realMs = 60000) {
        CloseInput();
        const auto until = Clock::now() + std::chrono::milliseconds(realMs);
        ReadUntil([] { return false; }, realMs);
        while (pid > 0 && ::waitpid(pid, &status, WNOHANG) == 0) {
            if (Clock::now() > until) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, &status, 0);
            }
            ::usleep(10000);
        }
        pid = -1;
        Close(fds[0]);
        Close(fds[1]);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    const std::string& Out() const { return out; }
    const std::string& Err() const { return err; }
    pid_t Pid() const { return pid; }

private:
    using Clock = std::chrono::steady_clock;

    static void Close(int& fd) {
        if (fd >= 0) {
            ::close(fd);
        }
        fd = -1;
    }
    // Reads both pipes until `done` holds; false at the deadline or when both have ended.
    bool ReadUntil(const std::function<bool()>& done, int realMs) {
        const auto until = Clock::now() + std::chrono::milliseconds(realMs);
        while (!done()) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
            pollfd entries[2] = {{fds[0], POLLIN, 0}, {fds[1], POLLIN, 0}};
            if ((fds[0] < 0 && fds[1] < 0) || left.count() <= 0 ||
                ::poll(entries, 2, static_cast<int>(left.count())) <= 0) {
                return false;
            }
            for (int i = 0; i < 2; ++i) {
                if (entries[i].revents == 0) {
                    continue;
                }
                char buffer[4096];
                const ssize_t got = ::read(fds[i], buffer, sizeof buffer);
                if (got > 0) {
                    (i == 0 ? out : err).append(buffer, static_cast<std::size_t>(got));
                } else {
                    Close(fds[i]);
                }
            }
        }
        return true;
    }

    pid_t pid = -1;
    int status = -1;
    int toChild = -1;
    int fds[2] = {-1, -1}; // standard output, standard error
    std::string out;
    std::string err;
    std::size_t taken = 0; // how much of `out` ReadLine has returned
};

// The complete lines of a child's output.
inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
}
