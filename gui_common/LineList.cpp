#include "LineList.h"

#include "RowExport.h"
#include "Text1252.h"

#include <QFontMetricsF>
#include <QItemSelectionModel>
#include <QListView>
#include <QStyle>
#include <QStyledItemDelegate>

#include <array>
#include <string>

namespace {

// With uniform item sizes the list asks the size of its first row only; every row answers the widest width.
class WidestLineDelegate : public QStyledItemDelegate {
public:
    WidestLineDelegate(int width, QObject* parent) : QStyledItemDelegate(parent), width_(width) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const QSize size = QStyledItemDelegate::sizeHint(option, index);
        return {std::max(size.width(), width_), size.height()};
    }

private:
    int width_;
};

} // namespace

int LineModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count_;
}

QVariant LineModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= count_) {
        return {};
    }
    return text(index.row());
}

QString LineModel::text(int row) const {
    return Text1252::decode(std::string(line_(row)));
}

int LineModel::widestAdvance(const QFontMetricsF& metrics) const {
    // One byte is one character: its advance in 1/64 pixel, looked up.
    std::array<qint64, 256> advance{};
    for (std::size_t byte = 0; byte < advance.size(); ++byte) {
        const QString ch = Text1252::decode(std::string(1, static_cast<char>(byte)));
        advance[byte] = qRound64(metrics.horizontalAdvance(ch) * 64);
    }
    qint64 widest = 0;
    for (int row = 0; row < count_; ++row) {
        qint64 width = 0;
        for (const char byte : line_(row)) {
            width += advance[static_cast<unsigned char>(byte)];
        }
        widest = std::max(widest, width);
    }
    return static_cast<int>((widest + 63) / 64);
}

void showLines(QListView* list, LineModel* model) {
    list->setUniformItemSizes(true);
    list->setTextElideMode(Qt::ElideNone);
    list->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // The style's text margins on both sides, and a little room for rounding.
    const int margins = 2 * (list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1) + 4;
    QAbstractItemDelegate* oldDelegate = list->itemDelegate();
    list->setItemDelegate(new WidestLineDelegate(model->widestAdvance(QFontMetricsF(list->font())) + margins, list));
    // Shown again (a reload): the previous lines, their selection and delegate go.
    QAbstractItemModel* oldModel = list->model();
    QItemSelectionModel* oldSelection = list->selectionModel();
    model->setParent(list);
    list->setModel(model);
    for (QObject* old : std::initializer_list<QObject*>{oldSelection, oldModel, oldDelegate}) {
        if (old && old->parent() == list) {
            old->deleteLater();
        }
    }
}

RowExport::Actions* exportLines(QListView* list, const QString& fileName) {
    const auto line = [list](int row) { return list->model()->index(row, 0).data().toString(); };
    RowExport::Options options;
    options.rowText = line;
    options.fileContent = [list, line] {
        QByteArray bytes;
        for (int row = 0; row < list->model()->rowCount(); ++row) {
            bytes += line(row).toUtf8();
            bytes += '\n';
        }
        return bytes;
    };
    options.fileName = fileName;
    options.fileFilter = QStringLiteral("Text files (*.txt);;All files (*)");
    options.unit = QStringLiteral("line|lines");
    return new RowExport::Actions(list->window(), {list}, std::move(options));
}
