#include "Messages.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
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
    // Qt leaves 50 pixels beside the title for the frame's icon and buttons; a short text then gives a box whose
    // frame cuts its title ("Ban ... path" under Wine). Room for the title in bold, the icon and three buttons.
    if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
        QFont titleFont = QApplication::font("QMdiSubWindowTitleBar");
        titleFont.setBold(true);
        const QFontMetrics metrics(titleFont);
        label->setMinimumWidth(metrics.horizontalAdvance(title) + 4 * (metrics.height() + 10));
    }
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
