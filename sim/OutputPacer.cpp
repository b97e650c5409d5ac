#include "sim/OutputPacer.h"

#include <algorithm>
#include <cmath>

COutputPacer::COutputPacer(double burst, uint64_t seed)
    : burstMs(std::max(1.0, burst)), rng(seed) {}

void COutputPacer::Clear() {
    queue.clear();
    sent = 0;
    garbledUpTo = 0;
}

void COutputPacer::SetGarbleRate(double rate) {
    garbleRate = std::isfinite(rate) ? std::clamp(rate, 0.0, 1.0) : 0.0;
}

std::string_view COutputPacer::Ready(double nowMs) {
    if (lastMs < 0.0 || nowMs < lastMs) {
        lastMs = nowMs;
    }
    credit = std::min(credit + (nowMs - lastMs) * kBytesPerMs, burstMs * kBytesPerMs);
    lastMs = nowMs;
    if (Empty()) {
        // An idle line saves no credit beyond one burst.
        return {};
    }
    const std::size_t count = std::min(Queued(), static_cast<std::size_t>(credit));
    const std::size_t end = sent + count;
    if (garbleRate > 0.0) {
        std::uniform_real_distribution<double> chance(0.0, 1.0);
        std::uniform_int_distribution<int> byte(0, 255);
        for (std::size_t i = std::max(garbledUpTo, sent); i < end; ++i) {
            if (chance(rng) < garbleRate) {
                queue[i] = static_cast<char>(byte(rng));
            }
        }
    }
    garbledUpTo = std::max(garbledUpTo, end);
    return std::string_view(queue).substr(sent, count);
}

void COutputPacer::Consume(std::size_t count) {
    sent += std::min(count, Queued());
    credit = std::max(0.0, credit - static_cast<double>(count));
    if (Empty()) {
        Clear();
    } else if (sent > 64 * 1024) {
        queue.erase(0, sent);
        garbledUpTo -= std::min(garbledUpTo, sent);
        sent = 0;
    }
}

void COutputPacer::Push(std::string_view bytes) {
    const std::size_t start = queue.size();
    queue.append(bytes);
    if (hiddenText.empty()) {
        return;
    }
    for (std::size_t at = queue.find(hiddenText, start); at != std::string::npos;
         at = queue.find(hiddenText, at + hiddenText.size())) {
        queue.replace(at, hiddenText.size(), hiddenText.size(), ' ');
    }
}
