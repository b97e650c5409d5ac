#pragma once

// Runs the built hx410-sim as a separate process: its COM link in a given ports
// directory, its control commands on standard input, its answers on standard output.

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

class CSimPeer {
public:
    CSimPeer(const std::string& simPath, const std::string& portsDir, double timeScale,
             const std::vector<std::string>& extra = {}) {
        std::vector<std::string> args = {simPath, "--port-dir", portsDir, "--time-scale",
                                         std::to_string(timeScale)};
        args.insert(args.end(), extra.begin(), extra.end());
        std::vector<char*> argv;
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        int in[2], out[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) {
            return;
        }
        pid = ::fork();
        if (pid == 0) {
            ::dup2(in[0], STDIN_FILENO);
            ::dup2(out[1], STDOUT_FILENO);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(in[0]);
        ::close(out[1]);
        toSim = in[1];
        fromSim = out[0];
        const std::string first = ReadLine(20000);
        const auto blank = first.find(' ');
        if (first.rfind("COM", 0) == 0 && blank != std::string::npos) {
            comNumber = std::atoi(first.substr(3, blank - 3).c_str());
            slavePath = first.substr(blank + 1);
        }
    }
    ~CSimPeer() { Stop(); }
    CSimPeer(const CSimPeer&) = delete;
    CSimPeer& operator=(const CSimPeer&) = delete;

    bool Ok() const { return comNumber > 0; }
    int ComNumber() const { return comNumber; }
    const std::string& SlavePath() const { return slavePath; }

    // Sends one control command and returns its one-line answer.
    std::string Command(const std::string& line) {
        const std::string text = line + "\n";
        if (toSim < 0 || ::write(toSim, text.data(), text.size()) != ssize_t(text.size())) {
            return {};
        }
        return ReadLine(20000);
    }

    // Ends the simulator (quit, then end of input), killing it if it does not exit.
    void Stop() {
        if (pid <= 0) {
            return;
        }
        Command("quit");
        ::close(toSim);
        toSim = -1;
        for (int i = 0; i < 500; ++i) {
            if (::waitpid(pid, nullptr, WNOHANG) == pid) {
                pid = -1;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
            pid = -1;
        }
        ::close(fromSim);
        fromSim = -1;
    }

private:
    std::string ReadLine(int realMs) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(realMs);
        for (;;) {
            if (const auto end = buffered.find('\n'); end != std::string::npos) {
                std::string line = buffered.substr(0, end);
                buffered.erase(0, end + 1);
                return line;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                until - std::chrono::steady_clock::now());
            pollfd entry{fromSim, POLLIN, 0};
            if (fromSim < 0 || left.count() <= 0 ||
                ::poll(&entry, 1, static_cast<int>(left.count())) <= 0) {
                return {};
            }
            char chunk[512];
            const ssize_t got = ::read(fromSim, chunk, sizeof chunk);
            if (got <= 0) {
                return {};
            }
            buffered.append(chunk, static_cast<std::size_t>(got));
        }
    }

    pid_t pid = -1;
    int toSim = -1;
    int fromSim = -1;
    int comNumber = 0;
    std::string slavePath;
    std::string buffered;
};
