// Fixed texts opened from the main window's menu.
#pragma once

#include <QWidget>

class AboutMeForm : public QWidget {
    Q_OBJECT
public:
    AboutMeForm();
};
