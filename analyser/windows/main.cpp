#include "API.h"
#include "LinkedCommand.h"
#include "MainForm.h"
#include "WindowRegistry.h"

#include "SystemFont.h"

#include <QApplication>
#include <QIcon>

#include <cstdio>
#include <optional>
#include <string_view>

int main(int argc, char* argv[]) {
    if (const std::optional<int> status = runLinkedCommand(argc, argv)) {
        return *status;
    }
    // Answered before the application object exists, so they need no display.
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        if (option == "--version" || option == "-v") {
            std::printf("Mirewatch %s\n", MW_VERSION);
            return 0;
        }
        if (option == "--help" || option == "-h") {
            std::printf("Usage: Mirewatch [--help] [--version] [Qt options]\n"
                        "       Mirewatch --linked FILE [--by-ip] [--csv]\n"
                        "The ban log analyser. The ban file is chosen in the program and kept in\n%s\n"
                        "--linked prints the people behind the bans of FILE, linked through shared machine ids\n"
                        "(and IP addresses with --by-ip), as text or as CSV, and exits.\n",
                        API::ConfigFilePath().c_str());
            return 0;
        }
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Mirewatch"));
    QApplication::setApplicationVersion(QStringLiteral(MW_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("mirewatch")); // lets the desktop match windows to the entry
    Q_INIT_RESOURCE(resources);
    useSystemUiFont();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/Mirewatch.png")));

    // The program ends with "&Exit" or when the main window is closed.
    openWindow<MainForm>(WindowRole::Main);
    const int status = QApplication::exec();
    delete windowSlot<MainForm>().data();
    return status;
}
