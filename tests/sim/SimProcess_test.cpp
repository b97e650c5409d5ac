// The built hx410-sim as another program meets it: its COM link, its pseudo-terminal and
// its exit. Power, unplug and banners over the port are covered by the link tests.
#include "records/TempDir.h"
#include "sim/TestScreenReader.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <regex>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
// Upper bound for anything to show up; a working simulator needs a small fraction.
constexpr auto kPatience = std::chrono::seconds(20);

class SimProcess {
public:
    explicit SimProcess(const std::string& portDir, std::vector<std::string> args = {}) {
        args.insert(args.begin(),
                    {HX410_SIM_PATH, "--port-dir", portDir, "--time-scale", "20", "--warmup", "2"});
        std::vector<char*> argv;
        for (std::string& a : args) {
            argv.push_back(a.data());
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
    }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;
    ~SimProcess() {
        CloseInput();
        if (pid > 0 && Wait() < 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        ::close(fromSim);
    }

    void Send(const std::string& line) {
        const std::string text = line + "\n";
        ASSERT_EQ(::write(toSim, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }
    // The next line of standard output, or "<timeout>" / "<eof>".
    std::string ReadLine() {
        const auto deadline = Clock::now() + kPatience;
        auto nl = buffer.find('\n');
        while (nl == std::string::npos) {
            pollfd p{fromSim, POLLIN, 0};
            if (Clock::now() > deadline || ::poll(&p, 1, 100) < 0) {
                return "<timeout>";
            }
            if (p.revents != 0) {
                char chunk[4096];
                const ssize_t n = ::read(fromSim, chunk, sizeof chunk);
                if (n <= 0) {
                    return "<eof>";
                }
                buffer.append(chunk, static_cast<std::size_t>(n));
            }
            nl = buffer.find('\n');
        }
        std::string line = buffer.substr(0, nl);
        buffer.erase(0, nl + 1);
        return line;
    }
    void CloseInput() {
        if (toSim >= 0) {
            ::close(toSim);
            toSim = -1;
        }
    }
    // Exit code, or -1 if it did not end in time.
    int Wait() {
        for (const auto deadline = Clock::now() + kPatience; Clock::now() < deadline;) {
            int status = 0;
            if (::waitpid(pid, &status, WNOHANG) == pid) {
                pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            ::usleep(10000);
        }
        return -1;
    }
    pid_t Pid() const { return pid; }

private:
    pid_t pid = -1;
    int toSim = -1;
    int fromSim = -1;
    std::string buffer;
};

// Reads the port until a screen line starts with `prefix`; returns that line or "".
std::string WaitForPrefix(int fd, const std::string& prefix) {
    std::string pending;
    for (const auto deadline = Clock::now() + kPatience; Clock::now() < deadline;) {
        pollfd p{fd, POLLIN, 0};
        ::poll(&p, 1, 100);
        char chunk[2048];
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n <= 0) {
            if (n == 0 || errno != EAGAIN) {
                return "";
            }
            continue;
        }
        pending.append(chunk, static_cast<std::size_t>(n));
        const auto lastEsc = pending.rfind('\x1b');
        if (lastEsc != std::string::npos) {
            const std::string line = FindLine(ScreenLines(pending.substr(0, lastEsc)), prefix);
            if (!line.empty()) {
                return line;
            }
            pending.erase(0, lastEsc);
        }
    }
    return "";
}

std::string ReadLink(const std::string& link) {
    char target[4096];
    const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
    return n < 0 ? std::string() : std::string(target, static_cast<std::size_t>(n));
}

} // namespace

TEST(SimProcess, LinksPaintsAnswersPagesAndRemovesTheLinkOnQuit) {
    CTempDir dir;
    SimProcess sim(dir.Path());
    const std::string first = sim.ReadLine();
    std::smatch m;
    ASSERT_TRUE(std::regex_match(first, m, std::regex("COM1 (/dev/pts/[0-9]+)"))) << first;
    const std::string link = dir / "COM1";
    EXPECT_EQ(ReadLink(link), m[1].str());

    const int port = ::open(link.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(port, 0);
    EXPECT_NE(WaitForPrefix(port, "Mag Avg "), "");
    EXPECT_NE(WaitForPrefix(port, "STAT "), "");
    const struct {
        const char* command;
        const char* prefix;
        const char* line;
    } exchanges[] = {{"PAGE F\r\r\r", "Av ", "Av HX410 V1.62"},
                     {"PAGE E\r\r\r", "Lat ", "Lat 45.00"},
                     {"MAGVAR 7.25\r", "Magvar ", "Magvar 7.25"}};
    for (const auto& e : exchanges) {
        ASSERT_EQ(::write(port, e.command, std::strlen(e.command)),
                  static_cast<ssize_t>(std::strlen(e.command)));
        EXPECT_EQ(WaitForPrefix(port, e.prefix), e.line);
    }
    ::close(port);

    sim.Send("quit");
    EXPECT_EQ(sim.ReadLine(), "ok quit");
    EXPECT_EQ(sim.Wait(), 0);
    EXPECT_TRUE(ReadLink(link).empty());
}

TEST(SimProcess, TakesTheLowestFreeNumberAndRemovesItsLinkOnEveryExit) {
    CTempDir dir;
    SimProcess a(dir.Path());
    ASSERT_EQ(a.ReadLine().substr(0, 5), "COM1 ");
    SimProcess b(dir.Path());
    ASSERT_EQ(b.ReadLine().substr(0, 5), "COM2 ");
    SimProcess c(dir.Path(), {"--com", "1"});
    EXPECT_EQ(c.ReadLine(), "<eof>");
    EXPECT_EQ(c.Wait(), 2) << "a COM number in use must not be taken over";
    EXPECT_EQ(ReadLink(dir / "COM1").substr(0, 9), "/dev/pts/");

    a.CloseInput(); // end of input
    EXPECT_EQ(a.Wait(), 0);
    ::kill(b.Pid(), SIGTERM);
    EXPECT_EQ(b.Wait(), 0);
    EXPECT_TRUE(dir.Names().empty());
}
