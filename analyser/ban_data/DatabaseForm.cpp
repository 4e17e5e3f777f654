#include "DatabaseForm.h"

#include "BanHandle.h"
#include "Declares.h"
#include "LoadOutcomeBox.h"
#include "Messages.h"
#include "Text1252.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>
#include <QVBoxLayout>

#include <array>
#include <optional>
#include <string>
#include <vector>

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
    const char* widestSample; // sets the column's minimum width
    int stretch;
};

// Left to right as the window shows them.
constexpr std::array<ListColumn, 8> kColumns{{
    {"AccessLevelList", "Acess Level :", "Acess Level :", 1},
    {"BannedStatus", "Ban status :", "Unknown Error - 117", 2},
    {"BannedID", "BanID :", "99999", 1},
    {"BannedDays", "Days :", "9999", 1},
    {"BannedDate", "Date of ban :", "2004-05-12", 2},
    {"BannedBy", "Banned by :", "ModeratorName", 2},
    {"BannedIP", "IP of banned :", "255.255.255.255", 2},
    {"BannedAliases", "Banned as :", "PlayerNameOfMedium", 3},
}};

// Position in kColumns of each list in the order the search empties and the buttons step them.
constexpr std::array<int, 8> kStepOrder{7, 3, 6, 4, 5, 2, 1, 0};

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
        connect(button, &QRadioButton::clicked, this, [mode] { BanHandle::SetSearchMode(mode); });
        optionBox->addWidget(button);
    }
    optionBox->addStretch();

    // Query line.
    SearchQuery = new QLineEdit(this);
    SearchQuery->setObjectName(QStringLiteral("SearchQuery"));
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

    // Result lists, each under its heading in one grid column so they stay aligned.
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(2);
    std::array<QListWidget*, 8> byColumn{};
    for (int column = 0; column < static_cast<int>(kColumns.size()); ++column) {
        const ListColumn& info = kColumns[static_cast<std::size_t>(column)];
        auto* list = new QListWidget(this);
        list->setObjectName(QString::fromLatin1(info.name));
        list->setUniformItemSizes(true);
        // Tab focus would make the first entry current and break "no current entry" (-1).
        list->setFocusPolicy(Qt::ClickFocus);
        list->setMinimumWidth(list->fontMetrics().horizontalAdvance(QString::fromLatin1(info.widestSample)) + 12);
        grid->addWidget(headingFrame(QString::fromLatin1(info.heading), this), 0, column);
        grid->addWidget(list, 1, column);
        grid->setColumnStretch(column, info.stretch);
        byColumn[static_cast<std::size_t>(column)] = list;
    }
    for (std::size_t i = 0; i < kStepOrder.size(); ++i) {
        resultLists[i] = byColumn[static_cast<std::size_t>(kStepOrder[i])];
    }

    auto* window = new QVBoxLayout(this);
    window->addLayout(top);
    window->addSpacing(8);
    window->addLayout(grid, 1);
    resize(1000, 520);
}

void DatabaseForm::search() {
    showLoadOutcome(this, BanHandle::LoadBanFile());
    const QString query = SearchQuery->text();
    for (QListWidget* list : resultLists) {
        list->clear();
    }
    const std::optional<std::string> encoded = Text1252::encode(query);
    if (!encoded) {
        return;
    }
    const std::vector<BanHandle::SearchMatch> matches = BanHandle::SearchBanTable(*encoded);

    // Filled per list in one go: item-by-item inserts are far too slow for a few thousand matches.
    std::array<QStringList, 8> columns;
    for (QStringList& column : columns) {
        column.reserve(static_cast<qsizetype>(matches.size()));
    }
    for (const BanHandle::SearchMatch& match : matches) {
        columns[0].append(Text1252::decode(match.Name));
        columns[1].append(Text1252::decode(match.Days));
        columns[2].append(Text1252::decode(match.Ip));
        columns[3].append(Text1252::decode(match.Date));
        columns[4].append(Text1252::decode(match.By));
        columns[5].append(Text1252::decode(match.Id));
        columns[6].append(Text1252::decode(match.Status));
        columns[7].append(Text1252::decode(match.AccessLevel));
    }
    for (std::size_t i = 0; i < resultLists.size(); ++i) {
        resultLists[i]->addItems(columns[i]);
    }
}

void DatabaseForm::step(int delta) {
    // Each list moves by itself, so lists clicked out of step stay out of step.
    for (QListWidget* list : resultLists) {
        const int next = list->currentRow() + delta;
        if (next >= -1 && next < list->count()) {
            list->setCurrentRow(next);
        }
    }
}
