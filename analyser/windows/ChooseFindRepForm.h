// Picks one of the two repeated-offender reports.
#pragma once

#include <QWidget>

class ChooseFindRepForm : public QWidget {
    Q_OBJECT
public:
    ChooseFindRepForm();
};
