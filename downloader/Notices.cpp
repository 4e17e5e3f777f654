#include "Notices.h"

#include <QMessageBox>

namespace Notices {
namespace {
Handler& currentHandler() {
    static Handler handler;
    return handler;
}
} // namespace

void show(QWidget* parent, const QString& title, const QString& text) {
    if (currentHandler()) {
        currentHandler()(title, text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent);
    // Found by name through QApplication::activeModalWidget() when a script closes it.
    box.setObjectName(QStringLiteral("CorvaneMessage"));
    box.exec();
}

Handler setHandler(Handler handler) {
    Handler previous = std::move(currentHandler());
    currentHandler() = std::move(handler);
    return previous;
}

} // namespace Notices
