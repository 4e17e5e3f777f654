#include "Messages.h"

#include <QFile>
#include <QMessageBox>

namespace Messages {
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
    box.setObjectName(QStringLiteral("MessageBox"));
    box.exec();
}

Handler setHandler(Handler handler) {
    Handler previous = std::move(currentHandler());
    currentHandler() = std::move(handler);
    return previous;
}

QString displayPath(const std::string& path) {
    return QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
}

} // namespace Messages
