#include "LoadOutcomeBox.h"

#include "API.h"
#include "BanHandle.h"
#include "Declares.h"
#include "Messages.h"
#include "WindowRegistry.h"

#include <QAbstractItemView>
#include <QDir>
#include <QFileInfo>
#include <QVBoxLayout>

namespace {

using Kind = BanHandle::LoadOutcome::Kind;

QString counted(int count, const char* one, const char* many) {
    return count == 1 ? QStringLiteral("1 %1").arg(QLatin1String(one))
                      : QStringLiteral("%1 %2").arg(count).arg(QLatin1String(many));
}

} // namespace

void showLoadOutcome(QWidget* parent, const BanHandle::LoadOutcome& outcome) {
    const QString path = Messages::displayPath(Declares::BanFilePath);
    const QString reason = QString::fromLocal8Bit(outcome.reason.c_str());
    QString text;
    switch (outcome.kind) {
    case Kind::Loaded:
        return;
    case Kind::NoFileChosen: {
        // No path may also mean a settings file that cannot be read; then that is what the user must mend.
        const std::string problem = API::ReadConfigValue(API::BanFileSection, API::BanFileKey).reason;
        text = problem.empty() ? QStringLiteral("No ban file has been chosen yet.")
                               : QStringLiteral("No ban file is known: %1").arg(Messages::displayPath(problem));
        text += QStringLiteral("\n\nChoose one with \"Select banfile.\" in the main window.");
        break;
    }
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

QString describeLoad(const std::string& path, const BanHandle::LoadOutcome& outcome, int lines, int entries) {
    if (outcome.kind == Kind::NoFileChosen) {
        return QStringLiteral("No ban file chosen.");
    }
    const QFileInfo file(Messages::displayPath(path));
    const QString named =
        QStringLiteral("%1 (in %2)").arg(file.fileName(), QDir::toNativeSeparators(file.absolutePath()));
    if (outcome.kind == Kind::CannotOpen) {
        return QStringLiteral("%1 could not be read: %2.").arg(named, QString::fromLocal8Bit(outcome.reason.c_str()));
    }
    const QString read = counted(lines, "line", "lines");
    QString text =
        QStringLiteral("%1: %2, %3")
            .arg(named, outcome.kind == Kind::TooManyLines ? QStringLiteral("only its first %1 read").arg(read) : read,
                 entries == 0 ? QStringLiteral("no ban entries") : counted(entries, "ban entry", "ban entries"));
    // Zero until the loader counts downloads: one download then.
    if (outcome.downloads > 1) {
        text += QStringLiteral("; %1 downloads in this file; each ban counted once, at its latest listing")
                    .arg(outcome.downloads);
    }
    return text + u'.';
}

BanFileStatus::BanFileStatus(QWidget* window) : QLabel(window), window_(window) {
    setObjectName(QStringLiteral("BanFileStatus"));
    setTextFormat(Qt::PlainText);
    // A long path is cut at the window's edge rather than widening the window; the tool tip holds it whole.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    setOutOfDateCheck(window, [this] { return loaded_ && shown_ != Declares::BanFilePath; });
}

BanHandle::LoadOutcome BanFileStatus::load() {
    const BanHandle::LoadOutcome outcome = BanHandle::LoadBanFile();
    loaded_ = true;
    shown_ = Declares::BanFilePath;
    readable_ = outcome.kind == Kind::Loaded || outcome.kind == Kind::TooManyLines;
    entries_ = readable_ ? Declares::BanRecordCount - 1 : 0;
    const QString text = describeLoad(shown_, outcome, Declares::BanFileLineCount - 1, entries_);
    setText(text);
    setToolTip(readable_ || outcome.kind == Kind::CannotOpen
                   ? QDir::toNativeSeparators(Messages::displayPath(shown_)) + u'\n' + text
                   : text);
    // A search reloads at each press: an over-long file says so once, its status line every time.
    if (outcome.kind != Kind::TooManyLines || toldTooLong_.insert(shown_).second) {
        showLoadOutcome(window_, outcome);
    }
    return outcome;
}

void BanFileStatus::noticeWhenEmpty(QAbstractItemView* list, bool empty, const QString& noFinding) const {
    if (!empty) {
        return;
    }
    showListNotice(list, !readable_      ? QStringLiteral("The ban file could not be read.")
                         : entries_ == 0 ? QStringLiteral("No ban entries in this file")
                                         : noFinding);
}

void showListNotice(QAbstractItemView* list, const QString& text) {
    auto* notice = new QLabel(text, list->viewport());
    notice->setObjectName(QStringLiteral("ListNotice"));
    notice->setTextFormat(Qt::PlainText);
    notice->setWordWrap(true);
    notice->setAlignment(Qt::AlignCenter);
    notice->setMargin(12);
    // Over whatever rows the list holds (separator lines only), readable.
    notice->setAutoFillBackground(true);
    notice->setBackgroundRole(QPalette::Base);
    notice->setForegroundRole(QPalette::PlaceholderText);
    QLayout* layout = list->viewport()->layout();
    if (!layout) {
        layout = new QVBoxLayout(list->viewport());
        layout->setAlignment(Qt::AlignTop);
    }
    layout->addWidget(notice);
}
