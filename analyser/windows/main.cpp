#include "MainForm.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Mirewatch"));

    // The program ends with "&Exit" or when its last window is closed (Qt's default).
    openWindow<MainForm>();
    const int status = QApplication::exec();
    delete windowSlot<MainForm>().data();
    return status;
}
