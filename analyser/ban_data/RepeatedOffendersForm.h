// The report of bans that share a machine id under different names; built when the window loads.
#pragma once

#include <QWidget>

class RepeatedOffendersForm : public QWidget {
    Q_OBJECT

public:
    RepeatedOffendersForm();
};
