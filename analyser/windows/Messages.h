// Every message box of Mirewatch goes through here, so tests can answer and inspect them.
#pragma once

#include <QString>
#include <functional>
#include <string>

class QWidget;

namespace Messages {

// Shows a modal box with the text, the title and one OK button.
void show(QWidget* parent, const QString& title, const QString& text);

// Replaces the modal box, for tests; an empty handler restores it.
using Handler = std::function<void(const QString& title, const QString& text)>;
void setHandler(Handler handler);

} // namespace Messages

namespace BanHandle {
struct LoadOutcome;
}

namespace Messages {

// The file path as the file system spells it (the core keeps it as bytes).
QString displayPath(const std::string& path);

// After a load: one box titled "Mirewatch" naming the file and the reason, unless the load was whole.
void showLoadOutcome(QWidget* parent, const BanHandle::LoadOutcome& outcome);

} // namespace Messages
