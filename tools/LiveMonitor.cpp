#include "LiveMonitor.h"

#include "RecordPrinter.h"
#include "device/AhrsLink.h"
#include "device/ComPortList.h"
#include "device/ConfigDirectory.h"
#include "device/PlainUiThread.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>

namespace {

constexpr int kNotification = 2024;
constexpr double kMaxSeconds = 7 * 24 * 3600;
constexpr double kMaxTimeScale = 10000;

std::optional<double> ReadNumber(const std::string& text, double low, double high) {
    double value = 0;
    const char* last = text.data() + text.size();
    const auto [end, error] = std::from_chars(text.data(), last, value);
    if (text.empty() || error != std::errc() || end != last || !std::isfinite(value) ||
        value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

std::optional<int> ReadPortNumber(const std::string& text) {
    int value = 0;
    const char* last = text.data() + text.size();
    const auto [end, error] = std::from_chars(text.data(), last, value);
    if (text.empty() || error != std::errc() || end != last || value < kMinComPort ||
        value > kMaxComPort) {
        return std::nullopt;
    }
    return value;
}

// The device node behind a port's path (a COM link is followed).
std::string DeviceOf(const std::string& path) {
    std::error_code error;
    const auto device = std::filesystem::canonical(path, error);
    return error ? path : device.string();
}

// Where the port list looks. HX410_DEV_ROOT and HX410_SYS_TTY_ROOT stand in for /dev and
// /sys/class/tty, so that tests see only the devices they made.
ComPortPlaces Places() {
    ComPortPlaces places = ComPortPlaces::Default();
    if (const char* root = std::getenv("HX410_DEV_ROOT"); root != nullptr && root[0] != '\0') {
        places.devRoot = root;
    }
    if (const char* root = std::getenv("HX410_SYS_TTY_ROOT"); root != nullptr && root[0] != '\0') {
        places.sysTtyRoot = root;
    }
    return places;
}

std::string Seconds(double programMs) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", programMs / 1000.0);
    return text;
}

// Receives the link's notifications like a wizard page: posted to the UI loop, handled
// there by asking the link whether it is alive.
class CNotificationPrinter : public IMessageTarget {
public:
    CNotificationPrinter(CPlainUiThread& ui, CAhrsLink& link, const CTimeBase& timeBase,
                         const std::vector<std::string>& sends, std::ostream& out)
        : ui(ui), link(link), timeBase(timeBase), sends(sends), out(out),
          startMs(timeBase.NowMs()) {}

    void PostMessage(int) override {
        ui.Post([this] { Handle(); });
    }
    bool EverUp() const { return everUp; }

private:
    void Handle() {
        const bool alive = link.IsLinkAlive();
        out << Seconds(timeBase.NowMs() - startMs) << (alive ? " link up" : " link lost")
            << std::endl;
        if (alive && !everUp) {
            everUp = true;
            for (const std::string& text : sends) {
                if (!link.SendLine(text)) {
                    out << Seconds(timeBase.NowMs() - startMs) << " could not send " << text
                        << std::endl;
                }
            }
        }
    }

    CPlainUiThread& ui;
    CAhrsLink& link;
    const CTimeBase& timeBase;
    const std::vector<std::string>& sends;
    std::ostream& out;
    double startMs;
    bool everUp = false;
};

// The '#' lines that open a capture: what, where and when.
std::string CaptureHeader(int port) {
    const std::string name = "COM" + std::to_string(port);
    const std::string path = DevicePathOfPort(Places(), port);
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char started[64] = "";
    if (::localtime_r(&now, &local) != nullptr) {
        std::strftime(started, sizeof started, "%Y-%m-%d %H:%M:%S %z", &local);
    }
    return "# HX410 maintenance port " + name + (path.empty() ? "" : " (" + DeviceOf(path) + ")") +
           ", 38400 8N1, raw bytes as received.\n# Captured by hx410-decode " HX410_VERSION " on " +
           started + "; replay with: hx410-decode --comments FILE\n";
}

} // namespace

bool CLiveMonitor::IsLiveCommand(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--list" || argument == "--port") {
            return true;
        }
    }
    return false;
}

std::optional<CLiveMonitor::Options> CLiveMonitor::Parse(int argc, char** argv, std::ostream& err) {
    Options options;
    bool havePort = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const bool hasValue = i + 1 < argc;
        if (argument == "--list") {
            options.list = true;
        } else if (argument == "--port" && hasValue) {
            const auto port = ReadPortNumber(argv[++i]);
            if (!port) {
                err << "hx410-decode: --port needs a port number from 1 to 255\n";
                return std::nullopt;
            }
            options.port = *port;
            havePort = true;
        } else if (argument == "--seconds" && hasValue) {
            const auto seconds = ReadNumber(argv[++i], 0, kMaxSeconds);
            if (!seconds) {
                err << "hx410-decode: --seconds needs a number of seconds from 0 to " << kMaxSeconds
                    << '\n';
                return std::nullopt;
            }
            options.seconds = *seconds;
        } else if (argument == "--time-scale" && hasValue) {
            const auto scale = ReadNumber(argv[++i], 1e-3, kMaxTimeScale);
            if (!scale) {
                err << "hx410-decode: --time-scale needs a factor from 0.001 to " << kMaxTimeScale
                    << '\n';
                return std::nullopt;
            }
            options.timeScale = *scale;
        } else if (argument == "--send" && hasValue) {
            options.sends.emplace_back(argv[++i]);
        } else if (argument == "--capture" && hasValue) {
            options.capturePath = argv[++i];
        } else {
            err << "hx410-decode: unexpected argument '" << argument << "'\n";
            return std::nullopt;
        }
    }
    if (options.list == havePort) {
        err << "hx410-decode: give either --list or --port N\n";
        return std::nullopt;
    }
    return options;
}

int CLiveMonitor::Main(int argc, char** argv) {
    const auto options = Parse(argc, argv, std::cerr);
    if (!options) {
        std::cerr << "usage: hx410-decode --list\n"
                     "       hx410-decode --port N [--seconds S] [--send TEXT]... "
                     "[--capture FILE] [--time-scale K]\n";
        return kExitUsage;
    }
    if (Places().portsDir.empty()) {
        std::cerr << "hx410-decode: " << ConfigDirectory::Find().error
                  << "; COM links are not looked for\n";
    }
    return options->list ? List(std::cout) : Monitor(*options, std::cout, std::cerr);
}

int CLiveMonitor::List(std::ostream& out) {
    bool listed = false;
    std::vector<std::string> forbidden;
    for (const ComPortCandidate& port : ProbeComPorts(Places())) {
        if (port.Usable() || port.Busy()) {
            out << "COM" << port.number << ' ' << port.device
                << (port.Busy() ? " busy (another program holds it)" : "") << '\n';
            listed = true;
        } else if (port.NoPermission()) {
            forbidden.push_back(port.device);
        }
    }
    // Silence would look like a fault of the decoder itself.
    if (!listed) {
        out << "no serial port found\n";
    }
    if (!forbidden.empty()) {
        out << NoPermissionHint(forbidden) << '\n';
    }
    out.flush();
    return out ? 0 : kExitUsage;
}

std::string CLiveMonitor::OpenFailureText(int port, int error) {
    const std::string name = "COM" + std::to_string(port);
    switch (error) {
    case EBUSY:
        return name + " is busy: another program holds it. Close that program and try again.";
    case ENOENT:
    case ENXIO:
    case ENODEV:
        return name + " is missing: no serial device has that number (hx410-decode --list "
                      "shows the ports).";
    case EACCES:
    case EPERM: {
        const std::string path = DevicePathOfPort(Places(), port);
        return "No permission to open " + name + (path.empty() ? "" : " (" + DeviceOf(path) + ")") +
               ". Add your user to the 'dialout' group (sudo usermod -aG dialout $USER), then "
               "log out and in again.";
    }
    default:
        return "Cannot open " + name + ": " + std::strerror(error) + ".";
    }
}

int CLiveMonitor::Monitor(const Options& options, std::ostream& out, std::ostream& err) {
    std::ofstream capture;
    if (!options.capturePath.empty()) {
        capture.open(options.capturePath, std::ios::binary | std::ios::trunc);
        if (!capture) {
            err << "hx410-decode: cannot write the capture " << options.capturePath << ": "
                << std::strerror(errno) << '\n';
            return kExitUsage;
        }
        capture << CaptureHeader(options.port);
    }
    const CTimeBase timeBase(options.timeScale);
    CPlainUiThread ui(timeBase);
    CAhrsLink link(ui, timeBase, Places());
    CNotificationPrinter printer(ui, link, timeBase, options.sends, out);
    link.Subscribe(&printer, kNotification);
    if (capture.is_open()) {
        // Runs on the listener thread; the stream is touched by nothing else until the
        // link is shut down below.
        link.SetReceiveTap([&capture](std::string_view bytes) {
            capture.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        });
    }
    if (!link.Open(static_cast<std::uint8_t>(options.port))) {
        link.Unsubscribe(&printer, kNotification);
        err << "hx410-decode: " << OpenFailureText(options.port, link.LastOpenError()) << '\n';
        return kExitOpenFailed;
    }
    ui.RunFor(options.seconds * 1000);
    // Nothing of the link may reach the printer or this loop once they are gone.
    link.Unsubscribe(&printer, kNotification);
    link.Shutdown();

    link.SetReceiveTap({});

    PrintRecord(out, link.State());
    PrintAckCounts(out, link.Port().Parser());
    out.flush();
    if (capture.is_open() && !capture.flush()) {
        err << "hx410-decode: the capture " << options.capturePath << " is incomplete\n";
        return kExitUsage;
    }
    return printer.EverUp() ? kExitLinkUp : kExitNeverUp;
}
