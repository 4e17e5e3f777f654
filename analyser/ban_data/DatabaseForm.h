// The search window: looks up ban records by one key and shows the matches in eight side-by-side lists that
// form one row set: they scroll together and select the same rows.
#pragma once

#include "BanHandle.h"

#include <QWidget>
#include <array>
#include <vector>

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

private:
    void search();
    void step(int delta);

    QLineEdit* SearchQuery = nullptr;
    QLabel* matchCount_ = nullptr;
    SearchResults* results_ = nullptr;
    QItemSelectionModel* selection_ = nullptr;
    std::array<QListView*, 8> lists_{}; // left to right
};
