#include "sim/SimUnit.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "sim/NumberText.h"

namespace {

std::vector<std::string> SplitWords(std::string_view line) {
    std::vector<std::string> words;
    std::string word;
    for (char c : line) {
        if (std::isspace(static_cast<unsigned char>(c))) {
            if (!word.empty()) {
                words.push_back(std::move(word));
                word.clear();
            }
        } else {
            word.push_back(c);
        }
    }
    if (!word.empty()) {
        words.push_back(std::move(word));
    }
    return words;
}

bool ParseInt16(const std::string& text, int16_t& value) {
    if (text.empty()) {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (end != text.c_str() + text.size() || errno == ERANGE || v < -32768 || v > 32767) {
        return false;
    }
    value = static_cast<int16_t>(v);
    return true;
}

int AxisIndex(const std::string& word) {
    if (word == "X") {
        return 0;
    }
    if (word == "Y") {
        return 1;
    }
    return word == "Z" ? 2 : -1;
}

int HeadingIndex(const std::string& word) {
    static const char* const names[] = {"N", "S", "E", "W"};
    for (int i = 0; i < 4; ++i) {
        if (word == names[i]) {
            return i;
        }
    }
    return -1;
}

std::string Fixed(double v, int decimals = 2) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

} // namespace

CSimUnit::CSimUnit(const SimUnitConfig& c, const MagModelParams& m, double nowMs)
    : model(m), config(c), rng(c.seed), lastAdvanceMs(nowMs), heading(c.heading), pitch(c.pitch),
      roll(c.roll), powerOnMs(nowMs), magReadyMs(nowMs + c.magBootMs), storedMount(c.mount),
      mount(c.mount), latitude(m.latitude), magvar(c.magvar) {
    heading = CMagModel::WrapDegrees(heading);
    lastSensor = model.SensorField(heading, pitch, roll, freeField);
    lastOutput = model.OutputHeading(heading, pitch, roll, freeField, mfc, mcc);
    lastMagAvg = lastOutput;
    lastMagRaw = CMagModel::HeadingOf(CMagModel::Level(lastSensor, pitch, roll));
}

void CSimUnit::Advance(double nowMs) {
    const double dt = std::max(0.0, nowMs - lastAdvanceMs);
    lastAdvanceMs = std::max(lastAdvanceMs, nowMs);
    if (turnRate != 0.0) {
        heading = CMagModel::WrapDegrees(heading + turnRate * dt / 1000.0);
    }
    ApplyMagBootEnd(nowMs);
}

bool CSimUnit::IsMagAnswering(double nowMs) const {
    return powered && magPresent && nowMs >= magReadyMs;
}

void CSimUnit::StartMagBoot(double nowMs) {
    magReadyMs = nowMs + config.magBootMs;
    reloadOnMagReady = true;
}

void CSimUnit::ApplyMagBootEnd(double nowMs) {
    if (reloadOnMagReady && IsMagAnswering(nowMs)) {
        // The RQ270 restarts from its configuration module.
        mcc = storedMcc;
        a429 = storedA429;
        reloadOnMagReady = false;
    }
}

uint32_t CSimUnit::StatusWord(double nowMs) const {
    const bool initialising = nowMs < powerOnMs + config.warmupMs || nowMs < imuResetUntilMs;
    uint32_t s = initialising ? kStatusWarmup : kStatusValid;
    if (!IsMagAnswering(nowMs)) {
        s |= kStatusMagInvalid;
    }
    return s;
}

void CSimUnit::HandlePortLine(std::string_view line, double nowMs) {
    if (!powered) {
        return;
    }
    Advance(nowMs);
    if (!ignoredCommand.empty() && line.substr(0, ignoredCommand.size()) == ignoredCommand) {
        return;
    }
    const std::vector<std::string> words = SplitWords(line);
    if (!words.empty()) {
        HandleCommand(words, nowMs);
    }
}

void CSimUnit::HandleCommand(const std::vector<std::string>& w, double nowMs) {
    const std::string& verb = w[0];
    double value = 0;
    if (verb == "PAGE" && w.size() == 2 && w[1].size() == 1) {
        const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(w[1][0])));
        if (letter == 'C' || letter == 'E' || letter == 'F') {
            page = letter;
        }
    } else if (verb == "MFC" && w.size() == 3) {
        const int axis = AxisIndex(w[1]);
        int16_t count = 0;
        if (axis >= 0 && ParseInt16(w[2], count)) {
            mfc[static_cast<std::size_t>(axis)] = count;
        }
    } else if (verb == "MCC" && w.size() == 3) {
        const int index = HeadingIndex(w[1]);
        if (index >= 0 && ParseNumber(w[2], value) && std::fabs(value) <= 180.0) {
            mcc[static_cast<std::size_t>(index)] = value;
        }
    } else if (verb == "LAT" && w.size() == 2) {
        if (ParseNumber(w[1], value) && std::fabs(value) <= 90.0) {
            latitude = value;
        }
    } else if (verb == "MAGVAR" && w.size() == 2) {
        if (ParseNumber(w[1], value) && std::fabs(value) <= 180.0) {
            magvar = value;
        }
    } else if (verb == "MOUNT" && w.size() == 2) {
        if (ParseNumber(w[1], value) && value == std::floor(value) && value >= 0 && value <= 255) {
            storedMount = static_cast<int>(value);
        }
    } else if (verb == "RESET" && w.size() == 2 && w[1] == "IMU") {
        mount = storedMount;
        imuResetUntilMs = nowMs + config.imuResetMs;
    } else if (verb == "RESET" && w.size() == 3 && w[1] == "MAG" && w[2] == "POWER") {
        StartMagBoot(nowMs);
    } else if (verb == "RESET" && w.size() == 2 && w[1] == "ERRORS") {
        // No latched errors are modelled.
    } else if (verb == "A429" && w.size() == 2 && (w[1] == "H" || w[1] == "L")) {
        a429 = w[1] == "H" ? 1.0 : 0.0;
    } else if (verb == "ARINC" && w.size() == 2) {
        if (ParseNumber(w[1], value) && (value == 0.0 || value == 1.0)) {
            arinc = value;
        }
    } else if ((verb == "ERASE" || verb == "STORE") && w.size() == 2 && w[1] == "MCC") {
        banners.push_back(
            {nowMs + config.ackDelayMs, verb == "ERASE" ? Banner::Erase : Banner::Store});
    }
}

std::vector<std::string> CSimUnit::TakeDueBanners(double nowMs) {
    std::vector<std::string> out;
    if (!powered) {
        banners.clear();
        return out;
    }
    std::vector<PendingBanner> later;
    for (const PendingBanner& b : banners) {
        if (b.dueMs > nowMs) {
            later.push_back(b);
            continue;
        }
        // A configuration module that does not answer stores nothing and acknowledges
        // nothing: the program must not be told a store succeeded when it did not.
        if (!IsMagAnswering(b.dueMs) || !IsMagAnswering(nowMs)) {
            continue;
        }
        if (b.kind == Banner::Erase) {
            storedMcc = {};
            storedA429 = 0.0;
        } else {
            storedMcc = mcc;
            storedA429 = a429;
        }
        if (!dropAcks) {
            out.push_back(b.kind == Banner::Erase ? "++ MCC ERASE ++" : "++ MCC STORE ++");
        }
    }
    banners = std::move(later);
    return out;
}

UnitReadout CSimUnit::Sample(double nowMs) {
    Advance(nowMs);
    UnitReadout r;
    r.pitch = ReportedPitch();
    r.roll = ReportedRoll();
    std::normal_distribution<double> countNoise(0.0, std::max(0.0, config.countNoise));
    std::normal_distribution<double> headingNoise(0.0, std::max(0.0, config.headingNoise));
    const bool answering = IsMagAnswering(nowMs);
    Vec3 raw = lastSensor;
    if (answering) {
        lastSensor = model.SensorField(heading, pitch, roll, freeField);
        raw = {lastSensor.x + countNoise(rng), lastSensor.y + countNoise(rng),
               lastSensor.z + countNoise(rng)};
        const Counts3 rawCounts = CMagModel::Saturate(raw);
        lastMagRaw = CMagModel::HeadingOf(CMagModel::Level(
            {double(rawCounts.x), double(rawCounts.y), double(rawCounts.z)}, r.pitch, r.roll));
        lastOutput = model.OutputHeading(heading, pitch, roll, freeField, mfc, mcc);
        lastMagAvg = CMagModel::WrapDegrees(lastOutput + headingNoise(rng));
    }
    r.avg = CMagModel::Saturate(CMagModel::AddCorrection(raw, mfc));
    const Vec3 level =
        CMagModel::Level({double(r.avg.x), double(r.avg.y), double(r.avg.z)}, r.pitch, r.roll);
    const Counts3 levelCounts = CMagModel::Saturate(level);
    r.magLevel = {levelCounts.x, levelCounts.y};
    r.magRaw = lastMagRaw;
    r.magAvg = lastMagAvg;
    r.outputHeading = lastMagAvg;
    r.status = StatusWord(nowMs);
    r.mfc = mfc;
    r.mcc = mcc;
    r.mount = mount;
    r.latitude = latitude;
    r.magvar = magvar;
    r.a429 = a429;
    r.arinc = arinc;
    r.ahrsVersion = ahrsVersionOverride.empty() ? config.ahrsVersion : ahrsVersionOverride;
    r.magVersion = answering ? config.magVersion : "-----";
    r.ahrsSerial = config.ahrsSerial;
    r.magSerial = answering ? config.magSerial : "0";
    const double initialisedAt = std::max(powerOnMs + config.warmupMs, imuResetUntilMs);
    if (nowMs < initialisedAt) {
        const int seconds = static_cast<int>(std::ceil((initialisedAt - nowMs) / 1000.0));
        r.dataLine = std::to_string(seconds) + " SEC WARMUP";
    }
    const long long up = static_cast<long long>(std::max(0.0, nowMs - powerOnMs) / 1000.0);
    char clock[32];
    std::snprintf(clock, sizeof clock, "%02lld:%02lld:%02lld", (up / 3600) % 100, (up / 60) % 60,
                  up % 60);
    r.clock = clock;
    return r;
}

void CSimUnit::SetHeading(double deg) {
    heading = CMagModel::WrapDegrees(deg);
}

void CSimUnit::PowerOff() {
    powered = false;
    banners.clear();
    // Volatile state is lost; the configuration module keeps what was stored.
    mcc = storedMcc;
    a429 = storedA429;
    imuResetUntilMs = 0.0;
    page = 'C';
}

void CSimUnit::PowerOn(double nowMs) {
    if (powered) {
        return;
    }
    powered = true;
    powerOnMs = nowMs;
    mount = storedMount;
    page = 'C';
    StartMagBoot(nowMs);
}

void CSimUnit::SetMagPresent(bool present, double nowMs) {
    if (present == magPresent) {
        return;
    }
    magPresent = present;
    if (present) {
        StartMagBoot(nowMs);
    }
}

double CSimUnit::SwingHeading(double headingDeg) const {
    return model.OutputHeading(headingDeg, pitch, roll, freeField, mfc, mcc);
}

std::vector<std::pair<std::string, std::string>> CSimUnit::State(double nowMs) const {
    std::vector<std::pair<std::string, std::string>> s;
    char status[16];
    std::snprintf(status, sizeof status, "%04X", static_cast<unsigned>(StatusWord(nowMs)));
    s.emplace_back("Power", powered ? "on" : "off");
    s.emplace_back("Status", powered ? status : "----");
    s.emplace_back("Page", std::string(1, page));
    s.emplace_back("Heading", Fixed(heading));
    s.emplace_back("TurnRate", Fixed(turnRate));
    s.emplace_back("Pitch", Fixed(pitch));
    s.emplace_back("Roll", Fixed(roll));
    s.emplace_back("FreeField", freeField ? "on" : "off");
    s.emplace_back("MagPresent", magPresent ? "on" : "off");
    s.emplace_back("MagAnswering", IsMagAnswering(nowMs) ? "yes" : "no");
    s.emplace_back("OutputHeading", Fixed(SwingHeading(heading)));
    s.emplace_back("Latitude", Fixed(latitude));
    s.emplace_back("MagneticVariation", Fixed(magvar));
    s.emplace_back("FieldLatitude", Fixed(model.Params().latitude));
    static const char* const axes[] = {"X", "Y", "Z"};
    for (std::size_t i = 0; i < 3; ++i) {
        s.emplace_back(std::string("Mfc") + axes[i], std::to_string(mfc[i]));
    }
    static const char* const cardinals[] = {"N", "S", "E", "W"};
    for (std::size_t i = 0; i < 4; ++i) {
        s.emplace_back(std::string("Mcc") + cardinals[i], Fixed(mcc[i]));
    }
    for (std::size_t i = 0; i < 4; ++i) {
        s.emplace_back(std::string("StoredMcc") + cardinals[i], Fixed(storedMcc[i]));
    }
    s.emplace_back("A429Speed", Fixed(a429, 1));
    s.emplace_back("StoredA429Speed", Fixed(storedA429, 1));
    s.emplace_back("ArincOutput", Fixed(arinc, 1));
    s.emplace_back("Mount", std::to_string(mount));
    s.emplace_back("StoredMount", std::to_string(storedMount));
    s.emplace_back("DropAcks", dropAcks ? "on" : "off");
    s.emplace_back("IgnoredCommand", ignoredCommand);
    s.emplace_back("AhrsVersion",
                   ahrsVersionOverride.empty() ? config.ahrsVersion : ahrsVersionOverride);
    s.emplace_back("MagVersion", config.magVersion);
    s.emplace_back("PendingBanners", std::to_string(banners.size()));
    return s;
}
