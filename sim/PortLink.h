#pragma once

#include <string>

// The link DIR/COM<n> through which the program finds the simulated unit's serial port.
// Created on start, re-pointed when the unit gets a new device node, removed on exit
// (only while it still points where this object put it).
class CPortLink {
public:
    static constexpr int kMaxNumber = 255;

    CPortLink() = default;
    ~CPortLink() { Remove(); }
    CPortLink(const CPortLink&) = delete;
    CPortLink& operator=(const CPortLink&) = delete;

    // Creates DIR (and its parents) if missing, then the link COM<requested>, or the
    // lowest free number when requested is 0. A link left dangling by an earlier run is
    // replaced. Returns an empty string on success, else the reason.
    std::string Create(const std::string& dir, int requested, const std::string& target);

    // Points the link at a new target atomically.
    std::string Repoint(const std::string& target);

    void Remove();

    int Number() const { return number; }
    const std::string& Path() const { return path; }

private:
    std::string path;
    std::string target;
    int number = 0;
};
