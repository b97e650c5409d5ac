#include "sim/SimRunner.h"

#include "device/ConfigDirectory.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t stopSignal = 0;

void OnStopSignal(int) {
    stopSignal = 1;
}

void InstallSignals() {
    struct sigaction sa {};
    sa.sa_handler = OnStopSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0; // no SA_RESTART: poll returns at once
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

void PrintLine(const std::string& line) {
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

constexpr std::size_t kMaxControlLine = 4096;

} // namespace

CSimRunner::CSimRunner(const SimOptions& o)
    : options(o), clock(o.timeScale),
      device(o.unit, o.model, 20.0 * std::max(1.0, o.timeScale), o.unit.seed ^ 0x5eedu),
      control(device.Unit(), device.Pacer()) {}

bool CSimRunner::Start() {
    InstallSignals();
    wakeFd.Reset(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
    if (!wakeFd.Valid()) {
        std::fprintf(stderr, "hx410-sim: eventfd: %s\n", std::strerror(errno));
        return false;
    }
    if (Replaying()) {
        if (std::string error = replay.Load(options.replayPath); !error.empty()) {
            std::fprintf(stderr, "hx410-sim: %s\n", error.c_str());
            return false;
        }
        replay.SetLoop(options.loop);
    }
    if (std::string error = pty.Open(); !error.empty()) {
        std::fprintf(stderr, "hx410-sim: %s\n", error.c_str());
        return false;
    }
    if (Replaying() && !pty.ReportClears()) {
        std::fprintf(stderr, "hx410-sim: cannot watch the port for programs opening it: %s\n",
                     std::strerror(errno));
        return false;
    }
    std::string dir = options.portDir;
    if (dir.empty()) {
        const ConfigDirectory config = ConfigDirectory::Find();
        if (config.path.empty()) {
            std::fprintf(stderr, "hx410-sim: %s (or give --port-dir)\n", config.error.c_str());
            return false;
        }
        dir = config.path + "/ports";
    }
    if (std::string error = link.Create(dir, options.com, pty.SlavePath()); !error.empty()) {
        std::fprintf(stderr, "hx410-sim: %s\n", error.c_str());
        return false;
    }
    PrintLine("COM" + std::to_string(link.Number()) + " " + pty.SlavePath());
    const std::lock_guard lock(requestMutex);
    serving = true;
    return true;
}

int CSimRunner::Run() {
    return Start() ? Serve() : 2;
}

int CSimRunner::Serve() {
    bool stdinOpen = options.control;
    while (!quit && stopSignal == 0 && !stopRequested) {
        const double now = clock.NowMs();
        Step(now);
        pollfd fds[3] = {
            {STDIN_FILENO, POLLIN, 0}, {pty.MasterFd(), POLLIN, 0}, {wakeFd.Get(), POLLIN, 0}};
        if (!stdinOpen) {
            fds[0].fd = -1;
        }
        if (!pty.IsOpen()) {
            fds[1].fd = -1;
        }
        const int ready = ::poll(fds, 3, PollTimeoutMs(now));
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            std::fprintf(stderr, "hx410-sim: poll: %s\n", std::strerror(errno));
            break;
        }
        const double after = clock.NowMs();
        if (fds[1].fd >= 0 && (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
            ReadPort(after);
        }
        if (fds[0].fd >= 0 && (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
            stdinOpen = ReadControl(after);
            // With the control window, the end of input (a script's /dev/null) ends
            // nothing: the window does.
            quit = quit || (!stdinOpen && !options.panel);
        }
        if ((fds[2].revents & POLLIN) != 0) {
            eventfd_t count = 0;
            ::eventfd_read(wakeFd.Get(), &count);
        }
        RunRequests();
    }
    EndRequests();
    link.Remove();
    pty.Close();
    return 0;
}

std::string CSimRunner::Execute(const std::string& line) {
    Request request{line, {}, false};
    std::unique_lock lock(requestMutex);
    if (!serving) {
        return "error: the simulator is not running";
    }
    requests.push_back(&request);
    Wake();
    requestDone.wait(lock, [&request] { return request.done; });
    return request.answer;
}

void CSimRunner::Stop() {
    stopRequested = true;
    Wake();
}

void CSimRunner::Wake() {
    if (wakeFd.Valid()) {
        ::eventfd_write(wakeFd.Get(), 1); // a full counter already wakes the loop
    }
}

void CSimRunner::RunRequests() {
    std::vector<Request*> taken;
    {
        const std::lock_guard lock(requestMutex);
        taken.swap(requests);
    }
    for (Request* request : taken) {
        std::string answer;
        for (const std::string& line : RunControlLine(request->line, clock.NowMs())) {
            answer += (answer.empty() ? "" : "\n") + line;
        }
        const std::lock_guard lock(requestMutex);
        request->answer = std::move(answer);
        request->done = true; // the caller may return and free it from here on
    }
    if (!taken.empty()) {
        requestDone.notify_all();
    }
}

void CSimRunner::EndRequests() {
    {
        const std::lock_guard lock(requestMutex);
        serving = false;
        for (Request* request : requests) {
            request->answer = "error: the simulator is not running";
            request->done = true;
        }
        requests.clear();
    }
    requestDone.notify_all();
}

void CSimRunner::Step(double nowMs) {
    if (Replaying()) {
        StepReplay(nowMs);
        return;
    }
    if (unplugged && nowMs >= replugAtMs) {
        Replug();
    }
    device.Step(nowMs, pty.IsOpen());
    WriteOutput(nowMs);
}

void CSimRunner::StepReplay(double nowMs) {
    if (!device.HasOutput()) {
        device.Pacer().Push(replay.TakePass());
    }
    WriteOutput(nowMs);
    // A loop's next pass is queued as soon as the last one is out: the line never idles.
    if (!device.HasOutput()) {
        device.Pacer().Push(replay.TakePass());
    }
}

void CSimRunner::WriteOutput(double nowMs) {
    const std::string_view bytes = device.Ready(nowMs);
    if (bytes.empty()) {
        return;
    }
    const ssize_t n = ::write(pty.MasterFd(), bytes.data(), bytes.size());
    if (n > 0) {
        device.Consume(static_cast<std::size_t>(n));
        blockedSinceMs = -1.0;
        return;
    }
    // A replay waits for its reader instead: its own clear would read as a new opener.
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && !Replaying()) {
        if (blockedSinceMs < 0) {
            blockedSinceMs = nowMs;
        } else if (nowMs - blockedSinceMs >
                   std::max(kUnreadDiscardMs, kUnreadDiscardRealMs * clock.Scale())) {
            pty.DiscardUnread();
            blockedSinceMs = -1.0;
        }
    }
}

void CSimRunner::ReadPort(double nowMs) {
    char buf[1024];
    const ssize_t n = ::read(pty.MasterFd(), buf, sizeof buf);
    if (n <= 0) {
        return;
    }
    if (Replaying()) {
        // Nothing is answered; a program that has just opened the port hears the capture
        // from its beginning.
        if (CPseudoTerminal::IsClearReport(std::string_view(buf, static_cast<std::size_t>(n)))) {
            device.Pacer().Clear();
            replay.Restart();
        }
        return;
    }
    device.Receive(std::string_view(buf, static_cast<std::size_t>(n)), nowMs);
}

bool CSimRunner::ReadControl(double nowMs) {
    char buf[1024];
    const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
    if (n < 0) {
        return errno == EINTR || errno == EAGAIN;
    }
    if (n == 0) {
        for (const std::string& line : RunControlLine(controlPending, nowMs)) {
            PrintLine(line); // the last line, though it has no newline
        }
        controlPending.clear();
        return false;
    }
    for (ssize_t i = 0; i < n && !quit; ++i) {
        const char c = buf[i];
        if (c != '\n') {
            if (controlPending.size() < kMaxControlLine) {
                controlPending.push_back(c);
            }
            continue;
        }
        for (const std::string& line : RunControlLine(controlPending, nowMs)) {
            PrintLine(line);
        }
        controlPending.clear();
    }
    return true;
}

std::vector<std::string> CSimRunner::RunControlLine(std::string_view line, double nowMs) {
    if (Replaying()) {
        return RunReplayControlLine(line);
    }
    CControlCommands::Result r = control.Execute(line, nowMs);
    if (r.action == CControlCommands::Action::Unplug) {
        Unplug(nowMs);
    }
    if (r.action == CControlCommands::Action::Quit) {
        quit = true;
    }
    return std::move(r.lines);
}

std::vector<std::string> CSimRunner::RunReplayControlLine(std::string_view line) {
    const auto begin = line.find_first_not_of(" \t\r\n");
    if (begin == std::string_view::npos) {
        return {};
    }
    line = line.substr(begin, line.find_last_not_of(" \t\r\n") - begin + 1);
    if (line == "quit") {
        quit = true;
        return {"ok quit"};
    }
    return {"error: a capture is being replayed; the only command is quit"};
}

void CSimRunner::Unplug(double nowMs) {
    pty.Close();
    device.Disconnect();
    blockedSinceMs = -1.0;
    unplugged = true;
    replugAtMs = nowMs + kReplugDelayMs;
}

void CSimRunner::Replug() {
    unplugged = false;
    if (std::string error = pty.Open(); !error.empty()) {
        std::fprintf(stderr, "hx410-sim: %s\n", error.c_str());
        quit = true;
        return;
    }
    if (std::string error = link.Repoint(pty.SlavePath()); !error.empty()) {
        std::fprintf(stderr, "hx410-sim: %s\n", error.c_str());
    }
}

int CSimRunner::PollTimeoutMs(double nowMs) const {
    if (device.HasOutput()) {
        return 2;
    }
    if (Replaying()) {
        return 10; // nothing is due until a program opens the port
    }
    double waitMs = clock.ToRealMs(device.NextPaintMs() - nowMs);
    if (unplugged) {
        waitMs = std::min(waitMs, clock.ToRealMs(replugAtMs - nowMs));
    }
    return static_cast<int>(std::clamp(waitMs, 1.0, 10.0));
}
