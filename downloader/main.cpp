// Corvane: types the ban list commands into the game client on a timetable, so that the client logs
// the zone's bans to a file.
#include "Form1.h"

#ifdef _WIN32
#include "Win32WindowDriver.h"
using PlatformWindowDriver = Win32WindowDriver;
#else
#include "X11WindowDriver.h"
using PlatformWindowDriver = X11WindowDriver;
#endif

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    PlatformWindowDriver driver;
    Form1 form(driver);
    form.show();
    return app.exec();
}
