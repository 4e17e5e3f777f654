// The linked-names window: every person behind the bans as a tree of groups, their names and their bans,
// with a filter, the evidence of the selected group, and copy and save.
#pragma once

#include "LinkedNamesView.h"

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QSortFilterProxyModel;
class QSpinBox;
class QTreeView;
class LinkedTreeModel;

class LinkedNamesForm : public QWidget {
    Q_OBJECT

public:
    LinkedNamesForm();

    // Shows the group holding exactly this name, its row selected; false, with a status line, when it has none.
    bool showName(const QString& name);

    // The shown groups as text, one block per group, blocks apart by a line break ("Copy all" copies this).
    QString shownText() const;

private:
    void regroup();
    void openFirst();
    void showEvidence();
    void copySelected();
    void saveCsv();
    void setStatus(const QString& text);
    std::vector<const GroupView*> shownGroups() const;

    int used_ = 0; // the hub threshold of the shown groups
    LinkedTreeModel* model_ = nullptr;
    QSortFilterProxyModel* filter_ = nullptr;
    QLineEdit* filterText_ = nullptr;
    QCheckBox* byIp_ = nullptr;
    QSpinBox* hubThreshold_ = nullptr;
    QTreeView* tree_ = nullptr;
    QLabel* counts_ = nullptr;
    QLabel* fileStatus_ = nullptr;
    QPlainTextEdit* evidence_ = nullptr;
};
