// The search window: looks up ban records by one key and shows the matches in eight side-by-side lists that
// form one row set: they scroll together and select the same rows.
#pragma once

#include "BanHandle.h"

#include <QWidget>
#include <array>
#include <vector>

class BanFileStatus;
class QItemSelectionModel;
class QLabel;
class QLineEdit;
class QListView;
class SearchResults;

class DatabaseForm : public QWidget {
    Q_OBJECT

public:
    DatabaseForm();

    // Lists these matches in place of the earlier ones, with no row current.
    void showMatches(std::vector<BanHandle::SearchMatch> matches);

    // Sets the search mode to the one stored in Config.ini by an earlier run (none when there is none).
    static void useStoredMode();

private:
    void search();
    void step(int delta);
    void chooseMode(Declares::SearchModeKind mode);

    BanFileStatus* fileStatus_ = nullptr;
    bool toldModeNotSaved_ = false;
    QLineEdit* SearchQuery = nullptr;
    QLabel* matchCount_ = nullptr;
    SearchResults* results_ = nullptr;
    QItemSelectionModel* selection_ = nullptr;
    std::array<QListView*, 8> lists_{}; // left to right
};
