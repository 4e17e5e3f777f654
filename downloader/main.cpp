// Corvane: types the ban list commands into the game client on a timetable, so that the client logs
// the zone's bans to a file.
#include "Form1.h"
#include "PlatformWindowDriver.h"

#include "SystemFont.h"

#include <QApplication>
#include <QIcon>

#include <cstdio>
#include <string_view>

int main(int argc, char* argv[]) {
    // Answered before the application object exists, so they need no display.
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        if (option == "--version" || option == "-v") {
            std::printf("Corvane %s\n", MW_VERSION);
            return 0;
        }
        if (option == "--help" || option == "-h") {
            std::printf("Usage: Corvane [--help] [--version] [Qt options]\n"
                        "Types the ban list commands into the game client, which logs the bans to a file.\n");
            return 0;
        }
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvane"));
    QApplication::setApplicationVersion(QStringLiteral(MW_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("corvane")); // lets the desktop match windows to the entry
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/Corvane.png")));
    useSystemUiFont();
    PlatformWindowDriver driver;
    Form1 form(driver);
    form.show();
    return app.exec();
}
