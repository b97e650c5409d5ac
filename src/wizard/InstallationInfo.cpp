#include "wizard/InstallationInfo.h"

#include "records/PlainText.h"

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

void CInstallationInfo::SetTailNumber(std::string_view value) {
    std::lock_guard lock(mutex);
    tailNumber = WithoutControlCharacters(value);
}

void CInstallationInfo::SetInstaller(std::string_view value) {
    std::lock_guard lock(mutex);
    installer = WithoutControlCharacters(value);
}

void CInstallationInfo::SetShopName(std::string_view value) {
    std::lock_guard lock(mutex);
    shopName = WithoutControlCharacters(value);
}
