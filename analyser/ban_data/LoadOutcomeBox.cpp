#include "LoadOutcomeBox.h"

#include "BanHandle.h"
#include "Declares.h"
#include "Messages.h"

void showLoadOutcome(QWidget* parent, const BanHandle::LoadOutcome& outcome) {
    using Kind = BanHandle::LoadOutcome::Kind;
    const QString path = Messages::displayPath(Declares::BanFilePath);
    const QString reason = QString::fromLocal8Bit(outcome.reason.c_str());
    QString text;
    switch (outcome.kind) {
    case Kind::Loaded:
        return;
    case Kind::NoFileChosen:
        text = QStringLiteral("No ban file has been chosen yet.\n\nChoose one with \"Select banfile.\" in the main "
                              "window.");
        break;
    case Kind::CannotOpen:
        text = QStringLiteral("The ban file\n%1\ncannot be opened: %2.\n\nCheck the file, or choose another with "
                              "\"Select banfile.\" in the main window.")
                   .arg(path, reason);
        break;
    case Kind::TooManyLines:
        text = QStringLiteral("The ban file\n%1\n%2.").arg(path, reason);
        break;
    }
    Messages::show(parent, QStringLiteral("Mirewatch"), text);
}
