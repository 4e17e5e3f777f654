#include "LinkedNamesForm.h"

#include "BanHandle.h"
#include "Declares.h"
#include "LoadOutcomeBox.h"
#include "Messages.h"
#include "RowExport.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

// Tree rows carry their place in internalId: 0 for a group, g + 1 for a name of group g, and
// (g + 1) | (n + 1) << 16 for a ban of name n of group g (at most 16383 groups, 32766 names).
constexpr int kShift = 16;
constexpr quintptr kLow = (quintptr{1} << kShift) - 1;

} // namespace

class LinkedTreeModel : public QAbstractItemModel {
public:
    using QAbstractItemModel::QAbstractItemModel;

    // The views see the old groups until the reset begins, and the new ones only after it.
    void reset(LinkedNamesView view) {
        beginResetModel();
        view_ = std::move(view);
        endResetModel();
    }
    const LinkedNamesView& view() const { return view_; }
    const GroupView& group(int g) const { return view_.groups[static_cast<std::size_t>(g)]; }

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override {
        if (!hasIndex(row, column, parent)) {
            return {};
        }
        if (!parent.isValid()) {
            return createIndex(row, column, quintptr{0});
        }
        const quintptr id = parent.internalId();
        if (id == 0) {
            return createIndex(row, column, static_cast<quintptr>(parent.row()) + 1);
        }
        return createIndex(row, column, id | (static_cast<quintptr>(parent.row()) + 1) << kShift);
    }

    QModelIndex parent(const QModelIndex& child) const override {
        const quintptr id = child.isValid() ? child.internalId() : 0;
        if (id == 0) {
            return {};
        }
        const int g = static_cast<int>(id & kLow) - 1;
        const quintptr name = id >> kShift;
        return name == 0 ? createIndex(g, 0, quintptr{0}) : createIndex(static_cast<int>(name) - 1, 0, id & kLow);
    }

    int rowCount(const QModelIndex& parent = {}) const override {
        if (!parent.isValid()) {
            return static_cast<int>(view_.groups.size());
        }
        if (parent.column() != 0) {
            return 0;
        }
        const quintptr id = parent.internalId();
        if (id == 0) {
            return static_cast<int>(group(parent.row()).names.size());
        }
        if ((id >> kShift) == 0) {
            return static_cast<int>(
                group(static_cast<int>(id) - 1).names[static_cast<std::size_t>(parent.row())].bans.size());
        }
        return 0;
    }

    int columnCount(const QModelIndex& = {}) const override { return 9; }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
            return {};
        }
        return section == 0 ? QStringLiteral("Person and names") : banHeadings().value(section - 1);
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole)) {
            return {};
        }
        const quintptr id = index.internalId();
        if (id == 0) {
            return index.column() == 0 ? group(index.row()).label : QVariant();
        }
        const GroupView& g = group(static_cast<int>(id & kLow) - 1);
        if ((id >> kShift) == 0) {
            return index.column() == 0 ? g.names[static_cast<std::size_t>(index.row())].label : QVariant();
        }
        const NameView& name = g.names[static_cast<std::size_t>(id >> kShift) - 1];
        const BanView& ban = name.bans[static_cast<std::size_t>(index.row())];
        return index.column() == 0 ? QVariant() : ban.fields.value(index.column() - 1);
    }

private:
    LinkedNamesView view_;
};

namespace {

// Keeps the groups holding the text in a name, machine id or IP; names and bans follow their group.
class GroupFilter : public QSortFilterProxyModel {
public:
    GroupFilter(LinkedTreeModel* model, QObject* parent) : QSortFilterProxyModel(parent), model_(model) {
        setSourceModel(model);
    }
    void setNeedle(const QString& needle) {
        needle_ = needle.trimmed();
        invalidateFilter();
    }

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
        if (parent.isValid() || needle_.isEmpty()) {
            return true;
        }
        const QStringList& texts = model_->group(row).search;
        return std::any_of(texts.begin(), texts.end(),
                           [this](const QString& text) { return text.contains(needle_, Qt::CaseInsensitive); });
    }

private:
    LinkedTreeModel* model_;
    QString needle_;
};

} // namespace

LinkedNamesForm::LinkedNamesForm() {
    setObjectName(QStringLiteral("LinkedNamesForm"));
    setWindowTitle(QStringLiteral("Linked names"));

    filterText_ = new QLineEdit(this);
    filterText_->setObjectName(QStringLiteral("LinkedFilter"));
    filterText_->setPlaceholderText(QStringLiteral("Name, machine id or IP"));
    filterText_->setClearButtonEnabled(true);
    auto* filterLabel = new QLabel(QStringLiteral("&Find:"), this);
    filterLabel->setBuddy(filterText_);
    byIp_ = new QCheckBox(QStringLiteral("Link by &IP address too"), this);
    byIp_->setObjectName(QStringLiteral("LinkByIp"));
    hubThreshold_ = new QSpinBox(this);
    hubThreshold_->setObjectName(QStringLiteral("HubThreshold"));
    hubThreshold_->setRange(1, Declares::MaxBanFileLines);
    hubThreshold_->setValue(BanHandle::DefaultHubThreshold);
    auto* hubLabel = new QLabel(QStringLiteral("Not a link when shared by more &names than:"), this);
    hubLabel->setBuddy(hubThreshold_);
    auto* top = new QHBoxLayout;
    top->addWidget(filterLabel);
    top->addWidget(filterText_, 1);
    top->addWidget(byIp_);
    top->addSpacing(12);
    top->addWidget(hubLabel);
    top->addWidget(hubThreshold_);

    model_ = new LinkedTreeModel(this);
    filter_ = new GroupFilter(model_, this);
    tree_ = new QTreeView(this);
    tree_->setObjectName(QStringLiteral("LinkedTree"));
    tree_->setModel(filter_);
    tree_->setUniformRowHeights(true);
    tree_->setAllColumnsShowFocus(true);
    tree_->header()->setStretchLastSection(true);
    tree_->setColumnWidth(0, 480);

    counts_ = new QLabel(this);
    counts_->setObjectName(QStringLiteral("LinkedCounts"));
    fileStatus_ = new QLabel(this);
    fileStatus_->setObjectName(QStringLiteral("FileStatus"));
    fileStatus_->setTextFormat(Qt::PlainText);
    fileStatus_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    evidence_ = new QPlainTextEdit(this);
    evidence_->setObjectName(QStringLiteral("LinkedEvidence"));
    evidence_->setReadOnly(true);
    evidence_->setTabChangesFocus(true);
    evidence_->setMaximumHeight(evidence_->fontMetrics().lineSpacing() * 7);

    RowExport::Options options;
    options.rowText = [this](int row) {
        return model_->group(filter_->mapToSource(filter_->index(row, 0)).row()).text();
    };
    options.fileContent = [this] { return (shownText() + u'\n').toUtf8(); };
    options.fileName = QStringLiteral("Linked names.txt");
    options.fileFilter = QStringLiteral("Text files (*.txt);;All files (*)");
    options.unit = QStringLiteral("group|groups");
    auto* exporter = new RowExport::Actions(this, {tree_}, std::move(options));
    // Ctrl+C copies the selected rows of the tree, whatever their level.
    for (QAction* action : tree_->actions()) {
        if (action->objectName() == QLatin1String("CopySelection")) {
            disconnect(action, &QAction::triggered, exporter, nullptr);
            connect(action, &QAction::triggered, this, &LinkedNamesForm::copySelected);
        }
    }
    tree_->setSelectionBehavior(QAbstractItemView::SelectRows);
    auto* saveCsv = new QPushButton(QStringLiteral("Save as &CSV…"), this);
    saveCsv->setObjectName(QStringLiteral("Cmd_SaveCsv"));
    connect(saveCsv, &QPushButton::clicked, this, &LinkedNamesForm::saveCsv);
    QWidget* bar = exporter->makeBar(counts_);
    bar->layout()->addWidget(saveCsv);

    auto* window = new QVBoxLayout(this);
    window->addLayout(top);
    window->addWidget(tree_, 1);
    window->addWidget(evidence_);
    window->addWidget(bar);
    window->addWidget(fileStatus_);
    resize(1100, 640);

    connect(filterText_, &QLineEdit::textChanged, this, [this](const QString& text) {
        static_cast<GroupFilter*>(filter_)->setNeedle(text);
        showEvidence();
    });
    connect(filterText_, &QLineEdit::returnPressed, this, &LinkedNamesForm::openFirst);
    connect(byIp_, &QCheckBox::toggled, this, &LinkedNamesForm::regroup);
    connect(hubThreshold_, &QSpinBox::editingFinished, this, [this] {
        if (hubThreshold_->value() != used_) {
            regroup();
        }
    });
    connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this, &LinkedNamesForm::showEvidence);
    setTabOrder(filterText_, byIp_);
    setTabOrder(byIp_, hubThreshold_);
    setTabOrder(hubThreshold_, tree_);

    regroup();
}

void LinkedNamesForm::regroup() {
    const BanHandle::LoadOutcome outcome = BanHandle::LoadBanFile();
    showLoadOutcome(this, outcome);
    used_ = hubThreshold_->value();
    model_->reset(makeLinkedNamesView({byIp_->isChecked(), used_}));
    counts_->setText(model_->view().counts());
    fileStatus_->setText(QStringLiteral("%1 - %2 lines")
                             .arg(QDir::toNativeSeparators(Messages::displayPath(Declares::BanFilePath)))
                             .arg(std::max(0, Declares::BanFileLineCount - 1)));
    showEvidence();
}

void LinkedNamesForm::openFirst() {
    if (filter_->rowCount() == 0) {
        return;
    }
    const QModelIndex first = filter_->index(0, 0);
    tree_->expand(first);
    tree_->selectionModel()->setCurrentIndex(first, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    tree_->scrollTo(first, QAbstractItemView::PositionAtTop);
    tree_->setFocus(Qt::OtherFocusReason);
}

bool LinkedNamesForm::showName(const QString& name) {
    filterText_->clear();
    for (int g = 0; g < model_->rowCount(); ++g) {
        const auto& names = model_->group(g).names;
        for (std::size_t n = 0; n < names.size(); ++n) {
            if (names[n].name == name) {
                const QModelIndex group = filter_->mapFromSource(model_->index(g, 0));
                tree_->expand(group);
                const QModelIndex row = filter_->index(static_cast<int>(n), 0, group);
                tree_->selectionModel()->setCurrentIndex(row, QItemSelectionModel::ClearAndSelect |
                                                                  QItemSelectionModel::Rows);
                tree_->scrollTo(row);
                tree_->setFocus(Qt::OtherFocusReason);
                return true;
            }
        }
    }
    setStatus(QStringLiteral("%1 shares no machine id%2 with another name.")
                  .arg(name, byIp_->isChecked() ? QStringLiteral(" or IP") : QString()));
    return false;
}

std::vector<const GroupView*> LinkedNamesForm::shownGroups() const {
    std::vector<const GroupView*> groups;
    for (int row = 0; row < filter_->rowCount(); ++row) {
        groups.push_back(&model_->group(filter_->mapToSource(filter_->index(row, 0)).row()));
    }
    return groups;
}

QString LinkedNamesForm::shownText() const {
    QStringList blocks;
    for (const GroupView* group : shownGroups()) {
        blocks.append(group->text());
    }
    return blocks.join(u'\n');
}

void LinkedNamesForm::showEvidence() {
    QModelIndex current = tree_->currentIndex();
    while (current.parent().isValid()) {
        current = current.parent();
    }
    QStringList lines;
    if (current.isValid()) {
        const GroupView& group = model_->group(filter_->mapToSource(current).row());
        lines.append(group.keys);
        for (const QString& link : group.links) {
            lines.append(QStringLiteral("Link: ") + link);
        }
    } else {
        lines.append(QStringLiteral("Select a person to see what links the names."));
    }
    if (!model_->view().hubs.isEmpty()) {
        lines.append(model_->view().hubLine());
    }
    evidence_->setPlainText(lines.join(u'\n'));
}

void LinkedNamesForm::copySelected() {
    QStringList lines;
    for (const QModelIndex& index : tree_->selectionModel()->selectedRows()) {
        const QModelIndex source = filter_->mapToSource(index);
        const quintptr id = source.internalId();
        if (id == 0) {
            lines.append(model_->group(source.row()).text());
        } else if ((id >> kShift) == 0) {
            lines.append(source.data().toString());
        } else {
            QStringList fields;
            for (int column = 1; column < model_->columnCount(); ++column) {
                fields.append(source.siblingAtColumn(column).data().toString());
            }
            lines.append(fields.join(u'\t'));
        }
    }
    if (lines.isEmpty()) {
        setStatus(QStringLiteral("Nothing to copy."));
        return;
    }
    QGuiApplication::clipboard()->setText(lines.join(u'\n'));
    setStatus(QStringLiteral("Copied %1 %2.").arg(lines.size()).arg(lines.size() == 1 ? "row" : "rows"));
}

void LinkedNamesForm::saveCsv() {
    const QString title = QStringLiteral("Save as");
    QString directory = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString path = Messages::askSaveFileName(
        this, title,
        QDir(directory.isEmpty() ? QDir::homePath() : directory).filePath(QStringLiteral("Linked names.csv")),
        QStringLiteral("CSV files (*.csv);;All files (*)"));
    if (path.isEmpty()) {
        return;
    }
    // The byte order mark makes spreadsheet programs read the file as UTF-8.
    const QString reason = RowExport::saveFile(path, (QChar(0xFEFF) + linkedNamesCsv(shownGroups())).toUtf8(), false);
    const QString shown = QDir::toNativeSeparators(path);
    if (!reason.isEmpty()) {
        setStatus(QStringLiteral("Not saved: %1").arg(reason));
        Messages::show(this, title, QStringLiteral("%1 could not be saved: %2.").arg(shown, reason));
        return;
    }
    setStatus(QStringLiteral("Saved %1 groups to %2.").arg(filter_->rowCount()).arg(shown));
}

void LinkedNamesForm::setStatus(const QString& text) {
    if (auto* status = findChild<QLabel*>(QStringLiteral("StatusLine"))) {
        status->setText(text);
        status->setToolTip(text);
    }
}
