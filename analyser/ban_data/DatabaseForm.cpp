#include "DatabaseForm.h"

#include "API.h"
#include "Declares.h"
#include "LinkedNamesForm.h"
#include "LoadOutcomeBox.h"
#include "Messages.h"
#include "RowExport.h"
#include "Text1252.h"
#include "WindowRegistry.h"

#include <QAbstractTableModel>
#include <QAction>
#include <QFocusEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStringList>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>
#include <string>

using BanHandle::SearchMatch;

namespace {

using Mode = Declares::SearchModeKind;

// A heading label in a small sunken frame of its own.
QFrame* headingFrame(const QString& text, QWidget* parent) {
    auto* frame = new QFrame(parent);
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setFrameShadow(QFrame::Sunken);
    auto* layout = new QHBoxLayout(frame);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->addWidget(new QLabel(text, frame));
    frame->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    return frame;
}

struct ListColumn {
    const char* name;
    const char* heading;
    std::string SearchMatch::*field;
    const char* widestSample; // sets the column's minimum width
    int stretch;
};

// Left to right as the window shows them; also the order of the fields in copied and saved rows.
const std::array<ListColumn, 8> kColumns{{
    {"AccessLevelList", "Acess Level :", &SearchMatch::AccessLevel, "Acess Level :", 1},
    {"BannedStatus", "Ban status :", &SearchMatch::Status, "Unknown Error - 117", 2},
    {"BannedID", "BanID :", &SearchMatch::Id, "99999", 1},
    {"BannedDays", "Days :", &SearchMatch::Days, "9999", 1},
    {"BannedDate", "Date of ban :", &SearchMatch::Date, "2004-05-12", 2},
    {"BannedBy", "Banned by :", &SearchMatch::By, "ModeratorName", 2},
    {"BannedIP", "IP of banned :", &SearchMatch::Ip, "255.255.255.255", 2},
    {"BannedAliases", "Banned as :", &SearchMatch::Name, "PlayerNameOfMedium", 3},
}};

constexpr int kColumnCount = static_cast<int>(kColumns.size());

// The mode kept in Config.ini between runs, under the names of the modes.
constexpr const char* kModeSection = "Search";
constexpr const char* kModeKey = "SearchMode";
const std::array<std::pair<Mode, const char*>, 5> kModeNames{{
    {Mode::BanID, "BanID"},
    {Mode::IP, "IP"},
    {Mode::MID, "MID"},
    {Mode::Moderator, "Moderator"},
    {Mode::Nick, "Nick"},
}};

} // namespace

// The matches, one row each, one column per list; decoded only when shown, so a large result costs little.
class SearchResults : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(matches_.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : kColumnCount; }

    QVariant data(const QModelIndex& index, int role) const override {
        // The lists cut what is wider than they are: the tool tip shows it whole.
        if ((role != Qt::DisplayRole && role != Qt::ToolTipRole) || !index.isValid()) {
            return {};
        }
        return field(index.row(), index.column());
    }

    QString field(int row, int column) const {
        return Text1252::decode(matches_[static_cast<std::size_t>(row)].*
                                kColumns[static_cast<std::size_t>(column)].field);
    }

    QStringList fields(int row) const {
        QStringList texts;
        for (int column = 0; column < kColumnCount; ++column) {
            texts.append(field(row, column));
        }
        return texts;
    }

    void replace(std::vector<SearchMatch> matches) {
        beginResetModel();
        matches_ = std::move(matches);
        endResetModel();
    }

private:
    std::vector<SearchMatch> matches_;
};

namespace {

// What the eight lists share beyond the model and its selection: the row a Shift range starts from. Qt keeps
// that anchor per list, which would make a range begun in one list and ended in another start elsewhere.
struct RowSet {
    std::array<QListView*, 8> lists{};
    int anchor = -1;
};

// One list of the row set. The shared current index lies in the column of whichever list set it last; a list
// that gets the focus moves it into its own column, for its focus frame and for typing to find an entry.
class RowList : public QListView {
public:
    RowList(RowSet& rows, int column, QWidget* parent) : QListView(parent), rows_(rows), column_(column) {}

protected:
    void focusInEvent(QFocusEvent* event) override {
        alignCurrent();
        if (!currentIndex().isValid() && model()->rowCount() > 0 && event->reason() != Qt::MouseFocusReason) {
            // Tabbing in selects the first row in every list, rather than framing it in this one only.
            selectionModel()->setCurrentIndex(model()->index(0, column_),
                                              QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        }
        QListView::focusInEvent(event);
    }

    void keyPressEvent(QKeyEvent* event) override {
        const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
        // Left and Right have nothing to do in a list of one column: they go to the neighbouring list.
        if ((event->key() == Qt::Key_Left || event->key() == Qt::Key_Right) && modifiers == Qt::NoModifier) {
            const int next = column_ + (event->key() == Qt::Key_Left ? -1 : 1);
            if (next >= 0 && next < kColumnCount) {
                rows_.lists[static_cast<std::size_t>(next)]->setFocus(Qt::OtherFocusReason);
            }
            return;
        }
        const std::optional<CursorAction> action = cursorAction(event->key());
        if (action && (modifiers & Qt::ShiftModifier)) {
            extendTo(moveCursor(*action, modifiers).row(), modifiers & Qt::ControlModifier);
            return;
        }
        QListView::keyPressEvent(event);
    }

    void mousePressEvent(QMouseEvent* event) override {
        const QModelIndex index = indexAt(event->position().toPoint());
        if (event->button() == Qt::LeftButton && (event->modifiers() & Qt::ShiftModifier) && index.isValid()) {
            extendTo(index.row(), event->modifiers() & Qt::ControlModifier);
            return;
        }
        QListView::mousePressEvent(event);
    }

private:
    static std::optional<CursorAction> cursorAction(int key) {
        switch (key) {
        case Qt::Key_Up:
            return MoveUp;
        case Qt::Key_Down:
            return MoveDown;
        case Qt::Key_PageUp:
            return MovePageUp;
        case Qt::Key_PageDown:
            return MovePageDown;
        case Qt::Key_Home:
            return MoveHome;
        case Qt::Key_End:
            return MoveEnd;
        default:
            return std::nullopt;
        }
    }

    void alignCurrent() {
        const QModelIndex current = currentIndex();
        if (current.isValid() && current.column() != column_) {
            selectionModel()->setCurrentIndex(current.siblingAtColumn(column_), QItemSelectionModel::NoUpdate);
        }
    }

    // Selects the rows from the shared anchor to this row, in addition to the earlier selection when kept.
    void extendTo(int row, bool keep) {
        if (row < 0) {
            return;
        }
        const int anchor = rows_.anchor >= 0 ? rows_.anchor : row;
        const QItemSelection range(model()->index(std::min(anchor, row), 0),
                                   model()->index(std::max(anchor, row), kColumnCount - 1));
        selectionModel()->setCurrentIndex(model()->index(row, column_), QItemSelectionModel::NoUpdate);
        rows_.anchor = anchor; // moving the current row moved it too; a range keeps it
        selectionModel()->select(range, (keep ? QItemSelectionModel::Select : QItemSelectionModel::ClearAndSelect) |
                                            QItemSelectionModel::Rows);
    }

    RowSet& rows_;
    int column_;
};

// Owns the shared state for as long as the window lives.
class RowSetHolder : public QObject {
public:
    using QObject::QObject;
    RowSet rows;
};

} // namespace

DatabaseForm::DatabaseForm() {
    setObjectName(QStringLiteral("DatabaseForm"));
    setWindowTitle(QStringLiteral("Search database"));

    // Option column.
    auto* optionBox = new QVBoxLayout;
    optionBox->setSpacing(2);
    optionBox->addWidget(headingFrame(QStringLiteral("Search by :"), this));
    struct Option {
        const char* name;
        const char* caption;
        Mode mode;
    };
    constexpr std::array<Option, 5> options{{
        {"Optn_SearchByIP", "IP (exact)", Mode::IP},
        {"Optn_SearchByMID", "MID", Mode::MID},
        {"Optn_SearchByNick", "Nick", Mode::Nick},
        {"Optn_SearchByMod", "Moderator", Mode::Moderator},
        {"Optn_SearchByBanID", "BanID", Mode::BanID},
    }};
    for (const Option& option : options) {
        auto* button = new QRadioButton(QString::fromLatin1(option.caption), this);
        button->setObjectName(QString::fromLatin1(option.name));
        // The mode outlives the window, so a reopened window shows the one still in force.
        button->setChecked(Declares::SearchMode == option.mode);
        const Mode mode = option.mode;
        connect(button, &QRadioButton::clicked, this, [this, mode] { chooseMode(mode); });
        optionBox->addWidget(button);
    }
    optionBox->addStretch();

    // Query line.
    SearchQuery = new QLineEdit(this);
    SearchQuery->setObjectName(QStringLiteral("SearchQuery"));
    connect(SearchQuery, &QLineEdit::returnPressed, this, &DatabaseForm::search);
    auto* searchButton = new QPushButton(QStringLiteral("Search"), this);
    searchButton->setObjectName(QStringLiteral("Command1"));
    searchButton->setToolTip(QStringLiteral("Search the database."));
    connect(searchButton, &QPushButton::clicked, this, &DatabaseForm::search);
    auto* queryLine = new QHBoxLayout;
    queryLine->addWidget(SearchQuery, 1);
    queryLine->addWidget(searchButton);
    auto* queryColumn = new QVBoxLayout;
    queryColumn->addLayout(queryLine);
    queryColumn->addStretch();

    // Navigation group.
    auto* navigation = new QFrame(this);
    navigation->setFrameShape(QFrame::StyledPanel);
    auto* navigationBox = new QVBoxLayout(navigation);
    navigationBox->addWidget(new QLabel(QStringLiteral("Navigation buttons"), navigation));
    auto* lastButton = new QPushButton(QStringLiteral("Last item"), navigation);
    lastButton->setObjectName(QStringLiteral("Cmd_ScrollLast"));
    auto* nextButton = new QPushButton(QStringLiteral("Next item"), navigation);
    nextButton->setObjectName(QStringLiteral("Cmd_ScrollNext"));
    navigationBox->addWidget(lastButton);
    navigationBox->addWidget(nextButton);
    navigationBox->addStretch();
    connect(lastButton, &QPushButton::clicked, this, [this] { step(-1); });
    connect(nextButton, &QPushButton::clicked, this, [this] { step(+1); });

    auto* top = new QHBoxLayout;
    top->addLayout(optionBox);
    top->addSpacing(12);
    top->addLayout(queryColumn, 1);
    top->addSpacing(12);
    top->addWidget(navigation, 0, Qt::AlignTop);

    // Result lists: one model, one selection, one vertical scroll position.
    results_ = new SearchResults(this);
    selection_ = new QItemSelectionModel(results_, this);
    RowSet& rows = (new RowSetHolder(this))->rows;
    connect(selection_, &QItemSelectionModel::currentChanged, this,
            [&rows](const QModelIndex& current, const QModelIndex& previous) {
                if (current.row() != previous.row()) {
                    rows.anchor = current.row();
                }
            });
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(2);
    for (int column = 0; column < kColumnCount; ++column) {
        const ListColumn& info = kColumns[static_cast<std::size_t>(column)];
        auto* list = new RowList(rows, column, this);
        list->setObjectName(QString::fromLatin1(info.name));
        list->setModel(results_);
        list->setModelColumn(column);
        list->setSelectionModel(selection_);
        list->setSelectionBehavior(QAbstractItemView::SelectRows);
        list->setUniformItemSizes(true);
        // Equal viewports keep equal scroll ranges: no list gets a horizontal bar, and only the rightmost
        // shows the vertical bar that moves them all.
        list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        if (column + 1 < kColumnCount) {
            list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        }
        // One Tab stop for the row set; Left and Right move between the lists.
        list->setFocusPolicy(column == 0 ? Qt::StrongFocus : Qt::ClickFocus);
        list->setMinimumWidth(list->fontMetrics().horizontalAdvance(QString::fromLatin1(info.widestSample)) + 12);
        grid->addWidget(headingFrame(QString::fromLatin1(info.heading), this), 0, column);
        grid->addWidget(list, 1, column);
        grid->setColumnStretch(column, info.stretch);
        lists_[static_cast<std::size_t>(column)] = list;
    }
    rows.lists = lists_;
    for (QListView* list : lists_) {
        connect(list->verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
            for (QListView* other : lists_) {
                other->verticalScrollBar()->setValue(value);
            }
        });
    }

    RowExport::Options exportOptions;
    exportOptions.rowText = [this](int row) { return results_->fields(row).join(u'\t'); };
    exportOptions.fileContent = [this] {
        QStringList header;
        for (const ListColumn& info : kColumns) {
            header.append(QString::fromLatin1(info.heading).remove(QStringLiteral(" :")));
        }
        // The byte order mark makes spreadsheet programs read the file as UTF-8.
        QString text = QChar(0xFEFF) + RowExport::csvRecord(header) + QStringLiteral("\r\n");
        for (int row = 0; row < results_->rowCount(); ++row) {
            text += RowExport::csvRecord(results_->fields(row)) + QStringLiteral("\r\n");
        }
        return text.toUtf8();
    };
    exportOptions.textMode = false; // records end in CR LF on every platform
    exportOptions.fileName = QStringLiteral("Search results.csv");
    exportOptions.fileFilter = QStringLiteral("CSV files (*.csv);;All files (*)");
    exportOptions.unit = QStringLiteral("row|rows");
    auto* exporter = new RowExport::Actions(this, {lists_.begin(), lists_.end()}, std::move(exportOptions));
    // The other names of the current row's player, in the linked-names window.
    auto* linked = new QAction(QStringLiteral("&Linked names of this player"), this);
    linked->setObjectName(QStringLiteral("ShowLinkedNames"));
    linked->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    linked->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(linked, &QAction::triggered, this, [this] {
        const int row = selection_->currentIndex().row();
        if (row >= 0) {
            openWindow<LinkedNamesForm>()->showName(results_->field(row, kColumnCount - 1));
        }
    });
    for (QListView* list : lists_) {
        list->addAction(linked);
    }
    matchCount_ = new QLabel(this);
    matchCount_->setObjectName(QStringLiteral("MatchCount"));
    matchCount_->setMinimumWidth(matchCount_->fontMetrics().horizontalAdvance(QStringLiteral("32765 matches")) + 12);
    fileStatus_ = new BanFileStatus(this); // names the file of the last search

    auto* window = new QVBoxLayout(this);
    window->addLayout(top);
    window->addSpacing(8);
    window->addLayout(grid, 1);
    window->addWidget(exporter->makeBar(matchCount_));
    window->addWidget(fileStatus_);
    resize(1000, 560);
    SearchQuery->setFocus();
}

void DatabaseForm::useStoredMode() {
    const std::string stored =
        API::ReadConfigValue(kModeSection, kModeKey).value; // an unreadable file is told at start
    Mode mode = Mode::None;
    for (const auto& [kind, name] : kModeNames) {
        if (stored == name) {
            mode = kind;
        }
    }
    BanHandle::SetSearchMode(mode);
}

void DatabaseForm::chooseMode(Mode mode) {
    BanHandle::SetSearchMode(mode);
    const auto named =
        std::find_if(kModeNames.begin(), kModeNames.end(), [mode](const auto& m) { return m.first == mode; });
    const API::WriteOutcome outcome = API::WriteConfigValue(kModeSection, kModeKey, named->second);
    // Once per window: the option buttons are clicked often, and the mode still holds for this run.
    if (!outcome.stored && !toldModeNotSaved_) {
        toldModeNotSaved_ = true;
        Messages::show(
            this, windowTitle(),
            QStringLiteral("The search mode is used for this run only.\n\nIt could not be saved in %1: %2")
                .arg(Messages::displayPath(API::ConfigFilePath()), QString::fromLocal8Bit(outcome.reason.c_str())));
    }
}

void DatabaseForm::search() {
    fileStatus_->load();
    const std::optional<std::string> encoded = Text1252::encode(SearchQuery->text());
    showMatches(encoded ? BanHandle::SearchBanTable(*encoded) : std::vector<SearchMatch>{});
    // An empty result of a file that was not read, or holds no ban, is no "No match".
    if (!fileStatus_->readable()) {
        matchCount_->setText(Declares::BanFilePath.empty() ? QStringLiteral("No ban file chosen.")
                                                           : QStringLiteral("The ban file could not be read."));
    } else if (fileStatus_->entries() == 0) {
        matchCount_->setText(QStringLiteral("No ban entries in this file"));
    } else if (Declares::SearchMode == Mode::None) {
        matchCount_->setText(QStringLiteral("Choose what to search by."));
    }
    matchCount_->setToolTip(matchCount_->text());
}

void DatabaseForm::showMatches(std::vector<SearchMatch> matches) {
    const std::size_t count = matches.size();
    results_->replace(std::move(matches));
    matchCount_->setText(count == 0   ? QStringLiteral("No match")
                         : count == 1 ? QStringLiteral("1 match")
                                      : QStringLiteral("%1 matches").arg(count));
}

void DatabaseForm::step(int delta) {
    // The current row of the row set; -1 (none) is a place of its own, beyond which no step goes.
    const int next = selection_->currentIndex().row() + delta;
    if (next < -1 || next >= results_->rowCount()) {
        return;
    }
    if (next == -1) {
        selection_->clear();
        return;
    }
    selection_->setCurrentIndex(results_->index(next, 0),
                                QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}
