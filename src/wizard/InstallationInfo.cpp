#include "wizard/InstallationInfo.h"

#include <utility>

CInstallationInfo& CInstallationInfo::Instance() {
    static CInstallationInfo info;
    return info;
}

std::string CInstallationInfo::TailNumber() const {
    std::lock_guard lock(mutex);
    return tailNumber;
}

std::string CInstallationInfo::Installer() const {
    std::lock_guard lock(mutex);
    return installer;
}

std::string CInstallationInfo::ShopName() const {
    std::lock_guard lock(mutex);
    return shopName;
}

void CInstallationInfo::SetTailNumber(std::string value) {
    std::lock_guard lock(mutex);
    tailNumber = std::move(value);
}

void CInstallationInfo::SetInstaller(std::string value) {
    std::lock_guard lock(mutex);
    installer = std::move(value);
}

void CInstallationInfo::SetShopName(std::string value) {
    std::lock_guard lock(mutex);
    shopName = std::move(value);
}
