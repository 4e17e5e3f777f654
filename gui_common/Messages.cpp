#include "Messages.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace Messages {
namespace {
Handler& currentHandler() {
    static Handler handler;
    return handler;
}
FileNameHandler& currentFileNameHandler() {
    static FileNameHandler handler;
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

QString askSaveFileName(QWidget* parent, const QString& title, const QString& suggestedPath, const QString& filter,
                        const QString& defaultSuffix) {
    if (currentFileNameHandler()) {
        return currentFileNameHandler()(suggestedPath);
    }
    // As QFileDialog::getSaveFileName, with the suffix that function cannot take.
    QFileDialog dialog(parent, title);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(filter);
    dialog.setDefaultSuffix(defaultSuffix);
    const QFileInfo suggested(suggestedPath);
    dialog.setDirectory(suggested.absolutePath());
    dialog.selectFile(suggested.fileName());
    return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty() ? dialog.selectedFiles().first()
                                                                                   : QString();
}

FileNameHandler setFileNameHandler(FileNameHandler handler) {
    FileNameHandler previous = std::move(currentFileNameHandler());
    currentFileNameHandler() = std::move(handler);
    return previous;
}

QString displayPath(const std::string& path) {
    return QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
}

} // namespace Messages
