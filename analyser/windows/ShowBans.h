// The ban file as stored on disk, one list entry per line.
#pragma once

#include <QWidget>

class ShowBans : public QWidget {
    Q_OBJECT
public:
    ShowBans();
};
