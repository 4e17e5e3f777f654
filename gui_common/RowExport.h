// Copy and save for the rows of a window's lists: Ctrl+C copies the selected rows, "Copy all" every row, and
// "Save as…" writes every row to a file. The lists' context menu and two buttons offer the same; the outcome
// shows in a status line beside the buttons, a failed save also in a message box.
#pragma once

#include <QByteArrayView>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class QAbstractItemView;
class QIODevice;
class QLabel;
class QWidget;

namespace RowExport {

// One record of comma-separated values: a field holding a comma, a double quote or a line break is put in
// double quotes, its double quotes doubled. A field that a spreadsheet would run as a formula (it starts with
// "=", "+", "-", "@", a tab or a carriage return, and is not a plain number) gets a leading apostrophe.
QString csvRecord(const QStringList& fields);

// Writes every byte to the device, going on after a short write; empty on success, else the device's reason.
QString writeAll(QIODevice& device, QByteArrayView bytes);

// Writes the bytes to path through a temporary file that replaces the target only when every byte has reached
// the disk; text mode writes the platform's line ends. Empty on success, else why it failed (the old file stays).
QString saveFile(const QString& path, const QByteArray& bytes, bool textMode);

struct Options {
    // The clipboard text of one row.
    std::function<QString(int row)> rowText;
    // The file's content, of every row.
    std::function<QByteArray()> fileContent;
    bool textMode = true;
    QString fileName;   // suggested, without directory; its extension is added to a name typed without one
    QString fileFilter; // for the file dialog
    QString unit;       // what a row is called in the status line, singular and plural: "line|lines"
};

class Actions : public QObject {
    Q_OBJECT
public:
    // The views show one row set through one selection model; the rows are those of the first view's model.
    Actions(QWidget* window, QList<QAbstractItemView*> views, Options options);

    // "Copy all", "Save as…" and the status line, with an optional widget of the window's own in front.
    QWidget* makeBar(QWidget* leading = nullptr);

    void copySelected();
    void copyAll();
    void saveAs();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void copyRows(const QList<int>& rows);
    void setStatus(const QString& text);
    QString counted(qsizetype count) const;

    QWidget* window_;
    QList<QAbstractItemView*> views_;
    Options options_;
    QPointer<QLabel> status_; // the window may take it down before this object
};

} // namespace RowExport
