#pragma once

#include <string>

// The directory of this program's configuration (settings file, COM links), worked out
// the same way by every program of the product: $XDG_CONFIG_HOME/hx410-install when
// XDG_CONFIG_HOME is an absolute path, else $HOME/.config/hx410-install when HOME is one.
// A relative path is never used: it would put the files wherever the program was started.
struct ConfigDirectory {
    std::string path;  // without a trailing '/'; empty when none can be worked out
    std::string error; // why, for the user to read, when `path` is empty

    static constexpr const char* kNoDirectory =
        "no configuration directory: set HOME or XDG_CONFIG_HOME to an absolute path";

    // From the environment.
    static ConfigDirectory Find();
    // From the given values of XDG_CONFIG_HOME and HOME (nullptr when unset).
    static ConfigDirectory From(const char* xdgConfigHome, const char* home);
};
