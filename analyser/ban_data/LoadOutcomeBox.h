// What a window shows of a load of the ban file: a box titled "Mirewatch" naming the file and the reason when the
// load was not whole, and a status line naming the file the window shows, its lines and ban entries.
#pragma once

#include <QLabel>
#include <QString>

#include <set>
#include <string>

class QAbstractItemView;
class QWidget;

namespace BanHandle {
struct LoadOutcome;
}

void showLoadOutcome(QWidget* parent, const BanHandle::LoadOutcome& outcome);

// The status line's text for a load of the file at path that read so many lines and found so many ban entries.
QString describeLoad(const std::string& path, const BanHandle::LoadOutcome& outcome, int lines, int entries);

// The status line of a window that shows ban data. While another file is chosen than the one it shows, opening the
// window again loads it afresh (see WindowRegistry).
class BanFileStatus : public QLabel {
public:
    explicit BanFileStatus(QWidget* window);

    // Loads the chosen file and tells the outcome: here always; in a box when the load was not whole, a file that
    // is too long only the first time this window loads it.
    BanHandle::LoadOutcome load();

    // Whether the last load read the file, and the ban entries it found.
    bool readable() const { return readable_; }
    int entries() const { return entries_; }

    // Says in the list why it shows no finding: no file read, no ban entry, or else the given text.
    void noticeWhenEmpty(QAbstractItemView* list, bool empty, const QString& noFinding) const;

private:
    QWidget* window_;
    bool loaded_ = false;
    std::string shown_; // the path of the last load
    bool readable_ = false;
    int entries_ = 0;
    std::set<std::string> toldTooLong_;
};

// A notice over the list, in its viewport: no row of it, so copying and saving the rows never take it.
void showListNotice(QAbstractItemView* list, const QString& text);
