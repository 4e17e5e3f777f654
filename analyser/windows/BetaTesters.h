// Fixed texts opened from the main window's menu.
#pragma once

#include <QWidget>

class BetaTesters : public QWidget {
    Q_OBJECT
public:
    BetaTesters();
};
