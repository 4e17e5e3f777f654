// The search window: looks up ban records by one key and steps through the matches.
#pragma once

#include <QWidget>
#include <array>

class QLineEdit;
class QListWidget;

class DatabaseForm : public QWidget {
    Q_OBJECT

public:
    DatabaseForm();

private:
    void search();
    void step(int delta);

    QLineEdit* SearchQuery = nullptr;
    // In the order the lists are emptied and stepped: name, days, IP, date, moderator, ban number,
    // status, access level.
    std::array<QListWidget*, 8> resultLists{};
};
