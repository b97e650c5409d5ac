#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

// Small named settings kept between runs in an XML file: a map from key (compared byte by
// byte) to an unsigned 8-bit value. The file is loaded once, when the store is created;
// reads and writes touch only memory; the store is written back in key order when it is
// destroyed. A missing, malformed or foreign file gives an empty store, and is replaced
// by a well-formed one at the next save.
class CSettingsStore {
public:
    // appSettings.xml in the configuration directory (see ConfigDirectory); empty when
    // there is none: a store on it keeps its settings in memory only.
    static std::string DefaultPath();

    // A store on an explicit file, loaded at once. It is saved when destroyed only when
    // `saveWhenDestroyed` is set; otherwise only by Save.
    explicit CSettingsStore(std::string path, bool saveWhenDestroyed = false);
    ~CSettingsStore();
    CSettingsStore(const CSettingsStore&) = delete;
    CSettingsStore& operator=(const CSettingsStore&) = delete;

    // The stored value for the key, or `defaultValue` when the key is absent.
    uint8_t Get(std::string_view key, uint8_t defaultValue) const;

    // Stores the low 8 bits of `value` under the key and returns what was stored.
    uint8_t Set(std::string_view key, long long value);

    // Writes the whole store to its file, replacing the old file at once and creating the
    // directory when needed. False when it could not be written.
    bool Save() const;

    // The document Save writes.
    std::string ToXml() const;

    const std::string& Path() const noexcept { return path; }
    std::map<std::string, uint8_t> Entries() const;

private:
    void Load();

    std::string path;
    bool saveWhenDestroyed;
    mutable std::mutex lock;
    std::map<std::string, uint8_t> values;
};

// A setting's value text read as a number: leading blanks, an optional sign, the decimal
// digits up to the first other character (0 when there are none); the result is the low
// 8 bits of that number, so "300" gives 44 and "-1" gives 255, for numbers of any length.
uint8_t ParseSettingValue(std::string_view text);
