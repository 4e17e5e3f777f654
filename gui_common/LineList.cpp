#include "LineList.h"

#include "RowExport.h"

#include <QFontMetricsF>
#include <QHash>
#include <QListWidget>
#include <QStyle>
#include <QStyledItemDelegate>

#include <array>

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

// Character advances summed, in 1/64 pixel: laying out every line of a long report would take far longer.
int widestAdvance(const QFontMetricsF& metrics, const QStringList& lines) {
    std::array<qint64, 256> latin{};
    for (std::size_t code = 0; code < latin.size(); ++code) {
        latin[code] = qRound64(metrics.horizontalAdvance(QChar(static_cast<char16_t>(code))) * 64);
    }
    QHash<char16_t, qint64> others;
    qint64 widest = 0;
    for (const QString& line : lines) {
        qint64 width = 0;
        for (const QChar ch : line) {
            const char16_t code = ch.unicode();
            if (code < latin.size()) {
                width += latin[code];
            } else {
                auto known = others.constFind(code);
                if (known == others.constEnd()) {
                    known = others.insert(code, qRound64(metrics.horizontalAdvance(QChar(code)) * 64));
                }
                width += *known;
            }
        }
        widest = std::max(widest, width);
    }
    return static_cast<int>((widest + 63) / 64);
}

} // namespace

void showLines(QListWidget* list, const QStringList& lines) {
    list->setUniformItemSizes(true);
    list->setTextElideMode(Qt::ElideNone);
    list->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // The style's text margins on both sides, and a little room for rounding.
    const int margins = 2 * (list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1) + 4;
    list->setItemDelegate(new WidestLineDelegate(widestAdvance(QFontMetricsF(list->font()), lines) + margins, list));
    list->addItems(lines);
}

RowExport::Actions* exportLines(QListWidget* list, const QString& fileName) {
    RowExport::Options options;
    options.rowText = [list](int row) { return list->item(row)->text(); };
    options.fileContent = [list] {
        QString text;
        for (int row = 0; row < list->count(); ++row) {
            text += list->item(row)->text();
            text += u'\n';
        }
        return text.toUtf8();
    };
    options.fileName = fileName;
    options.fileFilter = QStringLiteral("Text files (*.txt);;All files (*)");
    options.unit = QStringLiteral("line|lines");
    return new RowExport::Actions(list->window(), {list}, std::move(options));
}
