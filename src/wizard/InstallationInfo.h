#pragma once

#include <mutex>
#include <string>

// The installer's identification entries of this run (tail number, installer, shop name),
// written by the welcome page and read by the pages, the log and the report. One record
// per process, created on first use.
class CInstallationInfo {
public:
    static CInstallationInfo& Instance();

    std::string TailNumber() const;
    std::string Installer() const;
    std::string ShopName() const;
    void SetTailNumber(std::string value);
    void SetInstaller(std::string value);
    void SetShopName(std::string value);

private:
    CInstallationInfo() = default;

    mutable std::mutex mutex;
    std::string tailNumber;
    std::string installer;
    std::string shopName;
};
