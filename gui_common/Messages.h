// Every message box and file question of both programs goes through here, so tests can answer and inspect them.
#pragma once

#include <QString>
#include <functional>
#include <string>

class QWidget;

namespace Messages {

// A modal box with the title, the text and one OK button, no icon; returns when the user closes it.
// The box is named "MessageBox", so a script can find it through QApplication::activeModalWidget().
void show(QWidget* parent, const QString& title, const QString& text);

// Takes the place of the box, for tests; an empty handler brings the box back. Returns the handler it replaced.
using Handler = std::function<void(const QString& title, const QString& text)>;
Handler setHandler(Handler handler);

// Asks for the name of a file to save, offering the suggested path; empty when the user cancels. The dialog adds
// defaultSuffix to a name typed without an extension (before it asks whether to replace an existing file).
QString askSaveFileName(QWidget* parent, const QString& title, const QString& suggestedPath, const QString& filter,
                        const QString& defaultSuffix = QString());

// Takes the place of the file dialog, for tests; an empty handler brings the dialog back.
using FileNameHandler = std::function<QString(const QString& suggestedPath)>;
FileNameHandler setFileNameHandler(FileNameHandler handler);

// A file path held as bytes, as the file system spells it.
QString displayPath(const std::string& path);

} // namespace Messages
