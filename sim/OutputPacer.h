#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>

// Holds the bytes the unit is about to send and releases them no faster than the line
// rate (3840 bytes per second at 38400 baud, 8N1), in program time. Optionally corrupts a
// fraction of the bytes it releases, as a noisy cable would.
class COutputPacer {
public:
    static constexpr double kBytesPerMs = 3.84;

    // burstMs: how much line time may be released at once (the writer's wake-up period).
    COutputPacer(double burstMs, uint64_t seed);

    // Queues bytes, with every occurrence of the hidden text blanked out.
    void Push(std::string_view bytes);
    void Clear();
    bool Empty() const { return sent >= queue.size(); }
    std::size_t Queued() const { return queue.size() - sent; }

    // Bytes that may go out now (already garbled); call Consume with how many were written.
    std::string_view Ready(double nowMs);
    void Consume(std::size_t count);

    void SetGarbleRate(double rate);
    double GarbleRate() const { return garbleRate; }
    // Text the output loses from now on, as a unit that never shows that row ("ARINC");
    // empty shows everything again.
    void SetHiddenText(std::string text) { hiddenText = std::move(text); }
    const std::string& HiddenText() const { return hiddenText; }

private:
    double burstMs;
    double credit = 0.0;
    double lastMs = -1.0;
    std::string queue;
    std::size_t sent = 0;
    std::size_t garbledUpTo = 0;
    double garbleRate = 0.0;
    std::string hiddenText;
    std::mt19937_64 rng;
};
