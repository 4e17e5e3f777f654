// Lists of text lines that are never cut short: they scroll sideways as far as their widest line. The lines stay
// as the core gives them, Windows-1252 bytes, and a row is decoded only when it is drawn or copied, so a list
// costs the bytes of its lines and nothing per line (the worst machine-id report has 196,591 of them).
#pragma once

#include <QAbstractListModel>

#include <functional>
#include <memory>
#include <string_view>

class QFontMetricsF;
class QListView;

class LineModel : public QAbstractListModel {
public:
    // Takes the lines as they come: any container with size() and an operator[] that converts to
    // std::string_view (a vector of strings, or lines kept in one buffer).
    template <class Lines> explicit LineModel(Lines lines, QObject* parent = nullptr) : QAbstractListModel(parent) {
        auto held = std::make_shared<const Lines>(std::move(lines));
        count_ = static_cast<int>(held->size());
        line_ = [held](int row) { return std::string_view((*held)[static_cast<std::size_t>(row)]); };
    }

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    QString text(int row) const;
    // The widest line's width in the font, from character advances (laying out every line would take far longer).
    int widestAdvance(const QFontMetricsF& metrics) const;

private:
    int count_ = 0;
    std::function<std::string_view(int)> line_;
};

// Shows the model's lines in the list, one row each, replacing what the list showed; the list owns the model.
void showLines(QListView* list, LineModel* model);

template <class Lines> void showLines(QListView* list, Lines lines) {
    showLines(list, new LineModel(std::move(lines)));
}

namespace RowExport {
class Actions;
}

// Copy and save of the list's lines, saved as UTF-8 text under the suggested file name.
RowExport::Actions* exportLines(QListView* list, const QString& fileName);
