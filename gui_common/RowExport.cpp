#include "RowExport.h"

#include "Messages.h"

#include <QAbstractItemView>
#include <QAction>
#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <vector>
#ifndef Q_OS_WIN
#include <unistd.h>
#endif

namespace RowExport {

namespace {

// A cell a spreadsheet would take for a formula: it starts with one of these (a tab or carriage return can hide
// the one that follows), and it is not a plain number, which no spreadsheet runs.
bool looksLikeFormula(const QString& field) {
    static const QRegularExpression number(QStringLiteral("^[+-]?[0-9]+([.,][0-9]+)?$"));
    return !field.isEmpty() && QStringLiteral("=+-@\t\r").contains(field.front()) && !number.match(field).hasMatch();
}

} // namespace

QString csvRecord(const QStringList& fields) {
    QStringList quoted;
    quoted.reserve(fields.size());
    for (QString field : fields) {
        if (looksLikeFormula(field)) {
            field.prepend(u'\''); // shown as text, as spreadsheet programs do with a leading apostrophe
        }
        const bool needsQuotes =
            field.contains(u',') || field.contains(u'"') || field.contains(u'\r') || field.contains(u'\n');
        quoted.append(needsQuotes ? u'"' + field.replace(u'"', QStringLiteral("\"\"")) + u'"' : field);
    }
    return quoted.join(u',');
}

QString writeAll(QIODevice& device, QByteArrayView bytes) {
    // A short write is not a failure yet: the next one says why the device stopped (a full disk, ...).
    while (!bytes.isEmpty()) {
        const qint64 written = device.write(bytes.data(), bytes.size());
        if (written <= 0) {
            const QString reason = device.errorString();
            return written == 0 || reason.isEmpty() ? QStringLiteral("Nothing more could be written") : reason;
        }
        bytes = bytes.sliced(written);
    }
    return {};
}

QString saveFile(const QString& path, const QByteArray& bytes, bool textMode) {
    QByteArray content = bytes;
#ifdef Q_OS_WIN
    if (textMode) {
        content.replace("\n", "\r\n");
    }
#else
    Q_UNUSED(textMode);
#endif
    // Unbuffered: QSaveFile::commit() (Qt 6.4) reports success when the flush of its buffer fails, so nothing is
    // left in a buffer for it to flush; every write is checked here.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        return file.errorString();
    }
    QString reason = writeAll(file, content);
#ifndef Q_OS_WIN
    // commit() ignores a failed sync, where a network or delayed-allocation file system reports a full disk.
    if (reason.isEmpty() && ::fsync(file.handle()) != 0) {
        reason = QString::fromLocal8Bit(std::strerror(errno));
    }
#endif
    if (!reason.isEmpty()) {
        file.cancelWriting(); // the temporary file goes, the old file stays
        return reason;
    }
    return file.commit() ? QString() : file.errorString();
}

Actions::Actions(QWidget* window, QList<QAbstractItemView*> views, Options options)
    : QObject(window), window_(window), views_(std::move(views)), options_(std::move(options)) {
    auto* copy = new QAction(QStringLiteral("&Copy"), this);
    copy->setObjectName(QStringLiteral("CopySelection"));
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    auto* all = new QAction(QStringLiteral("Copy &all"), this);
    all->setObjectName(QStringLiteral("CopyAll"));
    auto* save = new QAction(QStringLiteral("&Save as…"), this);
    save->setObjectName(QStringLiteral("SaveAs"));
    connect(copy, &QAction::triggered, this, &Actions::copySelected);
    connect(all, &QAction::triggered, this, &Actions::copyAll);
    connect(save, &QAction::triggered, this, &Actions::saveAs);
    // The status line tells the outcome of the last action only: whatever the user does next in the window
    // clears it (an action that has an outcome of its own then sets it again).
    QCoreApplication::instance()->installEventFilter(this);
    for (QAbstractItemView* view : views_) {
        // Several rows at once, picked with Shift and Ctrl as everywhere else.
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
        view->addActions({copy, all, save});
        view->setContextMenuPolicy(Qt::ActionsContextMenu);
    }
}

QWidget* Actions::makeBar(QWidget* leading) {
    auto* bar = new QWidget(window_);
    auto* layout = new QHBoxLayout(bar);
    layout->setContentsMargins(0, 0, 0, 0);
    if (leading) {
        layout->addWidget(leading);
    }
    status_ = new QLabel(bar);
    status_->setObjectName(QStringLiteral("StatusLine"));
    status_->setTextFormat(Qt::PlainText);
    // A long path is cut at the window's edge rather than widening the window.
    status_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    layout->addWidget(status_, 1);
    auto* copyAll = new QPushButton(QStringLiteral("Copy all"), bar);
    copyAll->setObjectName(QStringLiteral("Cmd_CopyAll"));
    auto* save = new QPushButton(QStringLiteral("Save as…"), bar);
    save->setObjectName(QStringLiteral("Cmd_SaveAs"));
    connect(copyAll, &QPushButton::clicked, this, &Actions::copyAll);
    connect(save, &QPushButton::clicked, this, &Actions::saveAs);
    layout->addWidget(copyAll);
    layout->addWidget(save);
    return bar;
}

void Actions::copySelected() {
    const QAbstractItemModel* model = views_.isEmpty() ? nullptr : views_.first()->model();
    const QItemSelectionModel* selection = views_.isEmpty() ? nullptr : views_.first()->selectionModel();
    if (!model || !selection) {
        return;
    }
    // Rows in list order, however they were picked; a range per block keeps Ctrl+A on many rows quick.
    std::vector<bool> picked(static_cast<std::size_t>(model->rowCount()));
    for (const QItemSelectionRange& range : selection->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row) {
            picked[static_cast<std::size_t>(row)] = true;
        }
    }
    QList<int> rows;
    for (std::size_t row = 0; row < picked.size(); ++row) {
        if (picked[row]) {
            rows.append(static_cast<int>(row));
        }
    }
    copyRows(rows);
}

void Actions::copyAll() {
    QList<int> rows;
    const int count = views_.isEmpty() || !views_.first()->model() ? 0 : views_.first()->model()->rowCount();
    rows.reserve(count);
    for (int row = 0; row < count; ++row) {
        rows.append(row);
    }
    copyRows(rows);
}

void Actions::copyRows(const QList<int>& rows) {
    if (rows.isEmpty()) {
        setStatus(QStringLiteral("Nothing to copy."));
        return;
    }
    QStringList lines;
    lines.reserve(rows.size());
    for (int row : rows) {
        lines.append(options_.rowText(row));
    }
    QGuiApplication::clipboard()->setText(lines.join(u'\n'));
    setStatus(QStringLiteral("Copied %1.").arg(counted(rows.size())));
}

void Actions::saveAs() {
    // The folder of the last save, for the whole run.
    static QString directory;
    if (directory.isEmpty()) {
        directory = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    }
    if (directory.isEmpty()) {
        directory = QDir::homePath();
    }
    const QString title = QStringLiteral("Save as");
    // A name typed without an extension gets the one of the suggested name.
    const QString suffix = QFileInfo(options_.fileName).suffix();
    QString path = Messages::askSaveFileName(window_, title, QDir(directory).filePath(options_.fileName),
                                             options_.fileFilter, suffix);
    if (path.isEmpty()) {
        return;
    }
    if (QFileInfo(path).suffix().isEmpty() && !suffix.isEmpty()) {
        path += u'.' + suffix;
    }
    const qsizetype count = views_.isEmpty() || !views_.first()->model() ? 0 : views_.first()->model()->rowCount();
    const QString shown = QDir::toNativeSeparators(path);
    const QString reason = saveFile(path, options_.fileContent(), options_.textMode);
    if (!reason.isEmpty()) {
        setStatus(QStringLiteral("Not saved: %1").arg(reason));
        Messages::show(window_, title, QStringLiteral("%1 could not be saved: %2.").arg(shown, reason));
        return;
    }
    directory = QFileInfo(path).absolutePath();
    setStatus(QStringLiteral("Saved %1 to %2.").arg(counted(count), shown));
}

bool Actions::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (status_ && !status_->text().isEmpty() &&
        (type == QEvent::MouseButtonPress || type == QEvent::KeyPress || type == QEvent::ShortcutOverride)) {
        auto* widget = qobject_cast<QWidget*>(watched);
        // Only the window's own widgets: not a message box or file dialog standing over it.
        if (widget && (widget == window_ || window_->isAncestorOf(widget))) {
            setStatus(QString());
        }
    }
    return QObject::eventFilter(watched, event);
}

void Actions::setStatus(const QString& text) {
    if (status_) {
        status_->setText(text);
        status_->setToolTip(text);
    }
}

QString Actions::counted(qsizetype count) const {
    const QStringList forms = options_.unit.split(u'|');
    return QStringLiteral("%1 %2").arg(count).arg(count == 1 ? forms.first() : forms.last());
}

} // namespace RowExport
