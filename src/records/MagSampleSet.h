#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// One collection of magnetometer samples, one entry per page tick: the counts X, Y, Z, the
// level counts XL and YL, and the attitude (degrees). All seven lists always have the same
// length. XL and YL are kept for completeness; no computation uses them.
class CMagSampleSet {
public:
    void Add(int16_t x, int16_t y, int16_t z, int16_t xl, int16_t yl, double pitch, double roll);
    std::size_t Size() const noexcept { return x.size(); }
    bool Empty() const noexcept { return x.empty(); }
    void Clear() noexcept;

    const std::vector<int16_t>& X() const noexcept { return x; }
    const std::vector<int16_t>& Y() const noexcept { return y; }
    const std::vector<int16_t>& Z() const noexcept { return z; }
    const std::vector<int16_t>& XL() const noexcept { return xl; }
    const std::vector<int16_t>& YL() const noexcept { return yl; }
    const std::vector<double>& Pitch() const noexcept { return pitch; }
    const std::vector<double>& Roll() const noexcept { return roll; }

private:
    std::vector<int16_t> x, y, z, xl, yl;
    std::vector<double> pitch, roll;
};
