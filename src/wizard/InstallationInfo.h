#pragma once

#include <mutex>
#include <string>
#include <string_view>

// The installer's identification entries of this run (tail number, installer, shop name),
// written by the welcome page and read by the pages, the log and the report. One record
// per process, created on first use. The entries never hold a control character: a line
// break from a pasted text would otherwise start a line of its own in the log.
class CInstallationInfo {
public:
    static CInstallationInfo& Instance();

    std::string TailNumber() const;
    std::string Installer() const;
    std::string ShopName() const;
    void SetTailNumber(std::string_view value);
    void SetInstaller(std::string_view value);
    void SetShopName(std::string_view value);

private:
    CInstallationInfo() = default;

    mutable std::mutex mutex;
    std::string tailNumber;
    std::string installer;
    std::string shopName;
};
