#include "sim/panel/PanelApp.h"

#include "sim/SimRunner.h"
#include "sim/panel/SimPanel.h"

#include <QApplication>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

bool HasDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            return true;
        }
    }
    return false;
}

} // namespace

int CPanelApp::Run(CSimRunner& runner, int argc, char** argv) {
    if (!HasDisplay()) {
        std::fputs("hx410-sim: --panel needs a display (DISPLAY and WAYLAND_DISPLAY are unset)\n",
                   stderr);
        return 1;
    }
    QApplication app(argc, argv);
    // QApplication takes the user's locale; the unit's pages and the control commands
    // write and read numbers with a decimal point whatever it is.
    std::setlocale(LC_NUMERIC, "C");
    if (!runner.Start()) {
        return 2;
    }
    int code = 0;
    std::thread loop([&runner, &app, &code] {
        code = runner.Serve();
        QMetaObject::invokeMethod(
            &app, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
    });
    // The loop runs first: the panel asks it for the state as it is built.
    CSimPanel panel([&runner](const std::string& line) { return runner.Execute(line); },
                    runner.ComNumber());
    panel.show();
    QApplication::exec();
    runner.Stop();
    loop.join();
    return code;
}
