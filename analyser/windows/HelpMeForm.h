// Fixed texts opened from the main window's menu.
#pragma once

#include <QWidget>

class HelpMeForm : public QWidget {
    Q_OBJECT
public:
    HelpMeForm();
};
