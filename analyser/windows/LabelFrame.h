// A sunken box of word-wrapped plain-text labels, named Label1, Label2, ... top to bottom.
#pragma once

#include <QStringList>

class QFrame;
class QWidget;

QFrame* makeLabelFrame(QWidget* parent, const QStringList& texts, int spacing = -1);
