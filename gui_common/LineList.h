// A list of text lines that is never cut short: it scrolls sideways as far as its widest line.
#pragma once

#include <QStringList>

class QListWidget;

// Fills the list with the lines, one entry each.
void showLines(QListWidget* list, const QStringList& lines);

namespace RowExport {
class Actions;
}

// Copy and save of the list's lines, saved as UTF-8 text under the suggested file name.
RowExport::Actions* exportLines(QListWidget* list, const QString& fileName);
