// The report of names banned more than once; built when the window loads.
#pragma once

#include <QWidget>

class NameRepeatedOffendersForm : public QWidget {
    Q_OBJECT

public:
    NameRepeatedOffendersForm();
};
