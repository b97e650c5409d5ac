// hx410-install: the HX410 AHRS installation and calibration wizard.

#include "device/AhrsLink.h"
#include "device/ConfigDirectory.h"
#include "device/TimeBase.h"
#include "records/InstallationSession.h"
#include "records/SettingsStore.h"
#include "wizard/ApplicationTitle.h"
#include "wizard/Artwork.h"
#include "wizard/InstallationWizard.h"
#include "wizard/MountPositionList.h"
#include "wizard/QtUiThread.h"

#include <QApplication>

#include <cstdio>
#include <cstring>
#include <iostream>

namespace {

constexpr int kUsageError = 2;

void PrintUsage() {
    std::printf("Usage: hx410-install [--version | --help]\n"
                "Runs the Korvan HX410 AHRS installation and calibration wizard.\n"
                "The unit is reached over a serial port chosen in the wizard; ports named\n"
                "COM<n> in $XDG_CONFIG_HOME/hx410-install/ports/ are listed beside the\n"
                "system's serial devices.\n"
                "\n"
                "  --version  print the program's version and exit\n"
                "  --help     print this help and exit\n");
}

// Handles the command line before any window exists, so --version and --help work
// without a display. Returns -1 to go on, or the exit code.
int HandleArguments(int argc, char* argv[]) {
    if (argc < 2) {
        return -1;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("hx410-install %s\n", HX410_VERSION);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        PrintUsage();
        return 0;
    }
    std::fprintf(stderr, "hx410-install: unexpected argument '%s' (try --help)\n", argv[1]);
    return kUsageError;
}

// The settings file, or a store in memory only (said on standard error) when there is no
// configuration directory.
std::string SettingsPath() {
    const ConfigDirectory directory = ConfigDirectory::Find();
    if (directory.path.empty()) {
        std::cerr << "hx410-install: " << directory.error << "; settings are not kept\n";
    }
    return CSettingsStore::DefaultPath();
}

} // namespace

int main(int argc, char* argv[]) {
    if (const int code = HandleArguments(argc, argv); code >= 0) {
        return code;
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("hx410-install"));
    QApplication::setApplicationVersion(QStringLiteral(HX410_VERSION));
    // Shown by the window system where the wizard's caption is empty (interior pages).
    QApplication::setApplicationDisplayName(QString::fromUtf8(kApplicationTitle));
    QApplication::setWindowIcon(Artwork::ApplicationIcon());

    const CTimeBase realTime;
    CQtUiThread uiThread(realTime);
    CSettingsStore settings(SettingsPath());
    const CMountPositionList mountPositions;
    CInstallationSession session;
    // Declared after the UI thread, so its listener and timer end before the thread goes.
    CAhrsLink link(uiThread, realTime);
    CInstallationWizard wizard(uiThread, realTime, {link, settings, mountPositions, session});
    // The wizard runs in the application's event loop, which ends with the wizard's result
    // (not with the last window, which may close first).
    QApplication::setQuitOnLastWindowClosed(false);
    QObject::connect(&wizard, &QDialog::finished, &application,
                     [](int result) { QCoreApplication::exit(result); });
    wizard.show();
    const int result = QApplication::exec();
    if (!settings.Path().empty() && !settings.Save()) {
        std::cerr << "hx410-install: the settings could not be saved to " << settings.Path()
                  << "\n";
    }
    return result;
}
