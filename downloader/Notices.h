// Every message box of Corvane goes through here, so tests can take the boxes instead of a user.
#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace Notices {

// A modal box with the title, the text and one OK button, no icon; returns when the user closes it.
void show(QWidget* parent, const QString& title, const QString& text);

// Takes the place of the box; an empty handler brings the box back. Returns the handler it replaced.
using Handler = std::function<void(const QString& title, const QString& text)>;
Handler setHandler(Handler handler);

} // namespace Notices
