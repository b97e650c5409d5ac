#pragma once

// The built hx410-sim as a separate process: its COM link in a given ports directory, its
// control commands on standard input, its answers on standard output.

#include "ChildProcess.h"

#include <cstdlib>

class CSimPeer : public CChildProcess {
public:
    CSimPeer(const std::string& simPath, const std::string& portsDir, double timeScale,
             const std::vector<std::string>& extra = {})
        : CChildProcess(Arguments(simPath, portsDir, timeScale, extra)) {
        const std::string first = ReadLine(); // "COM<n> <slave path>"
        const auto blank = first.find(' ');
        if (first.rfind("COM", 0) == 0 && blank != std::string::npos) {
            comNumber = std::atoi(first.substr(3, blank - 3).c_str());
            slavePath = first.substr(blank + 1);
        }
    }
    ~CSimPeer() { Command("quit"); }

    bool Ok() const { return comNumber > 0; }
    int ComNumber() const { return comNumber; }
    const std::string& SlavePath() const { return slavePath; }

    // Sends one control command and returns its one-line answer.
    std::string Command(const std::string& line) {
        return Send(line + "\n") ? ReadLine() : std::string();
    }

private:
    static std::vector<std::string> Arguments(const std::string& simPath,
                                              const std::string& portsDir, double timeScale,
                                              const std::vector<std::string>& extra) {
        std::vector<std::string> args = {simPath, "--port-dir", portsDir, "--time-scale",
                                         std::to_string(timeScale)};
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    }

    int comNumber = 0;
    std::string slavePath;
};
