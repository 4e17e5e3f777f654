// Renders every Mirewatch window, one at a time, into PNG files for the README:
//   render_windows OUTPUT_DIR BAN_FILE
// Run it on a real X server with a window manager (scripts/screenshots.sh does), so the pictures
// show the windows with their frames, as a user sees them.
#include "AboutMeForm.h"
#include "BanPathForm.h"
#include "BetaTesters.h"
#include "ChooseFindRepForm.h"
#include "DatabaseForm.h"
#include "Declares.h"
#include "HelpMeForm.h"
#include "LinkedNamesForm.h"
#include "MainForm.h"
#include "Messages.h"
#include "NameRepeatedOffendersForm.h"
#include "RepeatedOffendersForm.h"
#include "ShowBans.h"
#include "WindowRegistry.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QScreen>
#include <QTest>

#include <cstdio>
#include <functional>

namespace {

int failures = 0;

// Grabs the window from the screen, frame and title bar included.
bool capture(QWidget* window, const QString& file) {
    window->move(24, 24);
    window->show();
    window->raise();
    window->activateWindow();
    if (!QTest::qWaitForWindowExposed(window)) {
        std::fprintf(stderr, "render_windows: %s was never shown\n", qPrintable(window->objectName()));
        return false;
    }
    QTest::qWait(400); // let the window manager draw the frame and the widgets settle
    const QRect frame = window->frameGeometry();
    const QPixmap picture = window->screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    if (picture.isNull() || !picture.save(file)) {
        std::fprintf(stderr, "render_windows: cannot write %s\n", qPrintable(file));
        return false;
    }
    std::printf("%s %dx%d\n", qPrintable(file), frame.width(), frame.height());
    return true;
}

template <class Window> void render(const QString& dir, const std::function<void(Window*)>& prepare = {}) {
    Window* window = openWindow<Window>();
    if (prepare) {
        prepare(window);
    }
    if (!capture(window, QDir(dir).filePath(window->objectName() + QStringLiteral(".png")))) {
        ++failures;
    }
    window->close();
    QTest::qWait(50);
}

void press(QWidget* window, const char* name) {
    if (auto* button = window->findChild<QAbstractButton*>(QString::fromLatin1(name))) {
        button->click();
    } else {
        std::fprintf(stderr, "render_windows: no control %s in %s\n", name, qPrintable(window->objectName()));
        ++failures;
    }
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    if (argc != 3) {
        std::fprintf(stderr, "usage: render_windows OUTPUT_DIR BAN_FILE\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    const QByteArray banFile = QFile::encodeName(QFileInfo(QString::fromLocal8Bit(argv[2])).absoluteFilePath());
    QDir().mkpath(out);

    // A message box would stop the run; show what it said instead.
    Messages::setHandler([](const QString& title, const QString& text) {
        std::fprintf(stderr, "render_windows: message \"%s\": %s\n", qPrintable(title), qPrintable(text));
        ++failures;
    });

    render<MainForm>(out, [&](MainForm*) { Declares::BanFilePath = banFile.toStdString(); });
    render<ChooseFindRepForm>(out);
    render<DatabaseForm>(out, [](DatabaseForm* window) {
        press(window, "Optn_SearchByMod");
        if (auto* query = window->findChild<QLineEdit*>(QStringLiteral("SearchQuery"))) {
            query->setText(QStringLiteral("Frostbyte"));
        }
        press(window, "Command1");
        press(window, "Cmd_ScrollNext");
        press(window, "Cmd_ScrollNext");
    });
    render<RepeatedOffendersForm>(out);
    render<LinkedNamesForm>(out, [](LinkedNamesForm* window) {
        press(window, "LinkByIp");
        if (auto* filter = window->findChild<QLineEdit*>(QStringLiteral("LinkedFilter"))) {
            Q_EMIT filter->returnPressed(); // opens the first person
        }
    });
    render<NameRepeatedOffendersForm>(out);
    render<BanPathForm>(out);
    render<ShowBans>(out);
    render<AboutMeForm>(out);
    render<HelpMeForm>(out);
    render<BetaTesters>(out);
    return failures == 0 ? 0 : 1;
}
