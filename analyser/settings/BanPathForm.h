// Chooses the ban file by drive, directory and file, or by a typed path; the choice is used at once and kept in
// Config.ini.
#pragma once

#include <QHash>
#include <QString>
#include <QWidget>

class QComboBox;
class QLineEdit;
class QListWidget;
class QListWidgetItem;

class BanPathForm : public QWidget {
    Q_OBJECT
public:
    BanPathForm();

    // The directory that BanPath shows, as the file system spells it ("/" at the root).
    QString currentPath() const { return path_; }

    // The mounted volumes offered in BanDrive: "/" first, pseudo file systems left out.
    static QStringList mountedDrives();

protected:
    // Enter or Space on a file chooses it as a click does.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void driveChanged(int index);
    void directoryActivated(QListWidgetItem* item);
    bool showDirectory(const QString& path);
    // Enter in TXT_Path: a directory is shown, a file is chosen.
    void openTypedPath();
    void storeBanFile(QListWidgetItem* item);

    QComboBox* banDrive_ = nullptr;
    QListWidget* banPath_ = nullptr;
    QListWidget* chooseBanFileName_ = nullptr;
    QLineEdit* typedPath_ = nullptr;
    QString path_;
    int driveIndex_ = -1;
    QHash<QString, QString> lastDirectoryOnDrive_;
};
