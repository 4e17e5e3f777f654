#include "BanPathForm.h"

#include "API.h"
#include "BanHandle.h"
#include "Messages.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSet>
#include <QStorageInfo>
#include <QStyle>

#include <algorithm>

namespace {

const QString kTitle = QStringLiteral("Select ban file to examine");

// Kernel and runtime file systems hold no ban files; offering them would only clutter the list.
bool isPseudoVolume(const QStorageInfo& volume) {
    static const QSet<QByteArray> pseudoTypes = {
        "proc",     "sysfs",      "devpts",    "devtmpfs",        "cgroup",      "cgroup2",
        "mqueue",   "debugfs",    "tracefs",   "securityfs",      "pstore",      "bpf",
        "configfs", "fusectl",    "hugetlbfs", "autofs",          "binfmt_misc", "nsfs",
        "efivarfs", "rpc_pipefs", "selinuxfs", "fuse.gvfsd-fuse", "fuse.portal", "squashfs",
    };
    if (pseudoTypes.contains(volume.fileSystemType())) {
        return true;
    }
    const QString root = volume.rootPath();
    // Memory file systems are runtime scratch space, except the usual temporary directory.
    if (volume.fileSystemType() == "tmpfs" && root != QLatin1String("/tmp")) {
        return true;
    }
    for (const char* prefix : {"/proc", "/sys", "/dev", "/run"}) {
        const QString p = QString::fromLatin1(prefix);
        if (root == p || root.startsWith(p + QLatin1Char('/'))) {
            return true;
        }
    }
    return false;
}

// Drive letters compare without case, as Windows does.
bool isUnder(const QString& path, const QString& root) {
    const QString prefix = root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/');
    return path.compare(root, Qt::CaseInsensitive) == 0 || path.startsWith(prefix, Qt::CaseInsensitive);
}

} // namespace

QStringList BanPathForm::mountedDrives() {
    QStringList drives;
#ifdef Q_OS_WIN
    // Every drive letter, also one without a medium: choosing it says so and keeps the previous drive.
    for (const QFileInfo& drive : QDir::drives()) {
        drives.append(drive.absolutePath());
    }
    return drives;
#endif
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        // Bind-mounted single files (common in containers) are no drives.
        if (!volume.isValid() || !volume.isReady() || isPseudoVolume(volume) || !QFileInfo(volume.rootPath()).isDir()) {
            continue;
        }
        drives.append(volume.rootPath());
    }
    drives.append(QStringLiteral("/"));
    drives.append(QStorageInfo(QDir::homePath()).rootPath());
    drives.append(QStorageInfo(QDir::currentPath()).rootPath());
    drives.removeAll(QString());
    drives.removeDuplicates();
    std::sort(drives.begin(), drives.end(), [](const QString& a, const QString& b) {
        if ((a == QLatin1String("/")) != (b == QLatin1String("/"))) {
            return a == QLatin1String("/");
        }
        return a < b;
    });
    return drives;
}

BanPathForm::BanPathForm() {
    setObjectName(QStringLiteral("BanPathForm"));
    setWindowTitle(kTitle);
    resize(760, 420);

    banDrive_ = new QComboBox(this);
    banDrive_->setObjectName(QStringLiteral("BanDrive"));
    banDrive_->setMinimumWidth(150);
    // Shown in the platform's spelling ("C:\\"); the item data keeps the root as Qt spells it.
    for (const QString& root : mountedDrives()) {
        banDrive_->addItem(QDir::toNativeSeparators(root), root);
    }

    banPath_ = new QListWidget(this);
    banPath_->setObjectName(QStringLiteral("BanPath"));
    banPath_->setToolTip(QStringLiteral("Double-click a directory to open it; \"..\" goes up."));

    chooseBanFileName_ = new QListWidget(this);
    chooseBanFileName_->setObjectName(QStringLiteral("ChooseBanFileName"));
    chooseBanFileName_->setToolTip(QStringLiteral("Click the ban file to use it."));

    typedPath_ = new QLineEdit(this);
    typedPath_->setObjectName(QStringLiteral("TXT_Path"));
    typedPath_->setToolTip(QStringLiteral("Type or paste the full path of a directory or ban file and press Enter."));
    auto* typedLabel = new QLabel(QStringLiteral("&Path:"), this);
    typedLabel->setBuddy(typedPath_);

    auto* layout = new QGridLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Drive:"), this), 0, 0);
    layout->addWidget(new QLabel(QStringLiteral("Directory:"), this), 0, 1);
    layout->addWidget(new QLabel(QStringLiteral("File:"), this), 0, 2);
    layout->addWidget(banDrive_, 1, 0, Qt::AlignTop);
    layout->addWidget(banPath_, 1, 1);
    layout->addWidget(chooseBanFileName_, 1, 2);
    layout->setColumnStretch(1, 3);
    layout->setColumnStretch(2, 3);
    layout->setRowStretch(1, 1);
    auto* typed = new QHBoxLayout;
    typed->addWidget(typedLabel);
    typed->addWidget(typedPath_, 1);
    layout->addLayout(typed, 2, 0, 1, 3);

    // Opens in the chosen ban file's directory; without one, or when it is gone, in the current directory.
    const QString chosen = Messages::displayPath(Declares::BanFilePath);
    if ((chosen.isEmpty() || !showDirectory(QFileInfo(chosen).absolutePath())) && !showDirectory(QDir::currentPath())) {
        showDirectory(QDir::rootPath());
    }

    connect(banDrive_, &QComboBox::currentIndexChanged, this, &BanPathForm::driveChanged);
    connect(banPath_, &QListWidget::itemActivated, this, &BanPathForm::directoryActivated);
    connect(chooseBanFileName_, &QListWidget::itemClicked, this, &BanPathForm::storeBanFile);
    connect(typedPath_, &QLineEdit::returnPressed, this, &BanPathForm::openTypedPath);
    // Not itemActivated: where one click activates, a click would store the file twice.
    chooseBanFileName_->installEventFilter(this);
    banDrive_->view()->installEventFilter(this);
}

bool BanPathForm::eventFilter(QObject* watched, QEvent* event) {
    // The window's Escape shortcut also acts while the Drive list is open (Qt gives a popup its window's
    // shortcuts); claimed here, Escape reaches the list and closes only the list.
    if (watched == banDrive_->view() && banDrive_->view()->isVisible() && event->type() == QEvent::ShortcutOverride &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        event->accept();
        return true;
    }
    if (watched != chooseBanFileName_ || event->type() != QEvent::KeyPress) {
        return QWidget::eventFilter(watched, event);
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool chooses = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter || key->key() == Qt::Key_Space;
    if (!chooses || (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
        return false;
    }
    if (QListWidgetItem* item = chooseBanFileName_->currentItem()) {
        chooseBanFileName_->setCurrentItem(item); // selected too, as a click leaves it
        storeBanFile(item);
    }
    return true;
}

void BanPathForm::driveChanged(int index) {
    if (index < 0 || index == driveIndex_) {
        return;
    }
    const QString root = banDrive_->itemData(index).toString();
    // Each drive keeps the directory last shown on it, as a drive's current directory.
    const QString remembered = lastDirectoryOnDrive_.value(root, root);
    if (showDirectory(remembered) || showDirectory(root)) {
        return;
    }
    Messages::show(this, kTitle,
                   QStringLiteral("The drive %1 cannot be read. It may have been removed or may not be ready.\n\n"
                                  "The previous drive stays selected.")
                       .arg(QDir::toNativeSeparators(root)));
    const QSignalBlocker blocker(banDrive_);
    banDrive_->setCurrentIndex(driveIndex_);
}

void BanPathForm::directoryActivated(QListWidgetItem* item) {
    if (!item) {
        return;
    }
    const QString target = item->data(Qt::UserRole).toString();
    if (!showDirectory(target)) {
        Messages::show(this, kTitle,
                       QStringLiteral("The directory %1 cannot be read.").arg(QDir::toNativeSeparators(target)));
    }
}

void BanPathForm::openTypedPath() {
    QString typed = typedPath_->text().trimmed();
    // "Copy as path" on Windows puts the path in double quotes.
    if (typed.size() > 1 && typed.startsWith(u'"') && typed.endsWith(u'"')) {
        typed = typed.mid(1, typed.size() - 2);
    }
    if (typed.isEmpty()) {
        return;
    }
    // A relative path is taken from the directory shown.
    const QFileInfo target(QDir(path_).absoluteFilePath(QDir::fromNativeSeparators(typed)));
    const QString directory = target.isDir() ? target.absoluteFilePath() : target.absolutePath();
    if (!target.isDir() && !target.isFile()) {
        const QString text = target.exists() ? QStringLiteral("%1 is neither a directory nor a file.")
                                             : QStringLiteral("%1 cannot be found.");
        Messages::show(this, kTitle, text.arg(QDir::toNativeSeparators(target.absoluteFilePath())));
        return;
    }
    if (!showDirectory(directory)) {
        Messages::show(this, kTitle,
                       QStringLiteral("The directory %1 cannot be read.").arg(QDir::toNativeSeparators(directory)));
        return;
    }
    if (target.isDir()) {
        return;
    }
    // Chosen as a click on it in the file list chooses it; a hidden file is not listed but is chosen all the same.
    const QList<QListWidgetItem*> listed = chooseBanFileName_->findItems(target.fileName(), Qt::MatchExactly);
    QListWidgetItem unlisted(target.fileName());
    QListWidgetItem* item = listed.isEmpty() ? &unlisted : listed.first();
    chooseBanFileName_->setCurrentItem(listed.value(0));
    typedPath_->setText(QDir::toNativeSeparators(target.absoluteFilePath()));
    storeBanFile(item);
}

bool BanPathForm::showDirectory(const QString& path) {
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isDir() || !info.isReadable() || !info.isExecutable()) {
        return false;
    }
    QDir dir(info.absoluteFilePath());
    path_ = QDir::cleanPath(dir.absolutePath());
    dir.setPath(path_);
    typedPath_->setText(QDir::toNativeSeparators(path_));

    // The drive shown is the longest drive root that holds the path.
    int drive = -1;
    for (int i = 0; i < banDrive_->count(); ++i) {
        const QString root = banDrive_->itemData(i).toString();
        if (isUnder(path_, root) && (drive < 0 || root.size() > banDrive_->itemData(drive).toString().size())) {
            drive = i;
        }
    }
    if (drive >= 0) {
        const QSignalBlocker blocker(banDrive_);
        banDrive_->setCurrentIndex(drive);
        driveIndex_ = drive;
        lastDirectoryOnDrive_.insert(banDrive_->itemData(drive).toString(), path_);
    }

    const QIcon folderOpen = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon folder = style()->standardIcon(QStyle::SP_DirIcon);
    banPath_->clear();
    auto* current = new QListWidgetItem(folderOpen, QDir::toNativeSeparators(path_), banPath_);
    current->setData(Qt::UserRole, path_);
    QFont bold = current->font();
    bold.setBold(true);
    current->setFont(bold);
    if (!dir.isRoot()) {
        auto* up = new QListWidgetItem(folder, QStringLiteral(".."), banPath_);
        up->setData(Qt::UserRole, QFileInfo(path_).absolutePath());
    }
    const QStringList subdirectories = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QString& name : subdirectories) {
        auto* item = new QListWidgetItem(folder, name, banPath_);
        item->setData(Qt::UserRole, dir.filePath(name));
    }

    chooseBanFileName_->clear();
    // Hidden files and directories (dot files; the hidden attribute on Windows) stay hidden.
    chooseBanFileName_->addItems(dir.entryList(QDir::Files, QDir::Name | QDir::IgnoreCase));
    return true;
}

void BanPathForm::storeBanFile(QListWidgetItem* item) {
    if (!item) {
        return;
    }
    // In the platform's own spelling (C:\logs\ban.txt on Windows), one separator also after a drive's root.
    const QString composed = QDir::toNativeSeparators(QDir(path_).filePath(item->text()));
    const QString title = QStringLiteral("Ban file path");
    // On Windows a name outside the ANSI code page is held by its short name, or not at all.
    API::PathOutcome held = API::HeldPath(composed.toStdU16String());
    if (!held.reason.empty()) {
        Messages::show(this, title,
                       QStringLiteral("%1 cannot be used as the ban file: %2\n\nThe ban file stays as it was.")
                           .arg(composed, QString::fromLocal8Bit(held.reason.c_str())));
        return;
    }
    std::string path = std::move(held.path);
    const API::WriteOutcome outcome = API::WriteConfigValue(API::BanFileSection, API::BanFileKey, path);
    BanHandle::SetBanFilePath(std::move(path));
    if (outcome.stored) {
        Messages::show(this, title, QStringLiteral("File path to ban file set\n\n%1").arg(composed));
        return;
    }
    Messages::show(
        this, title,
        QStringLiteral("File path to ban file set for this run only.\n\nIt could not be saved in %1: %2")
            .arg(Messages::displayPath(API::ConfigFilePath()), QString::fromLocal8Bit(outcome.reason.c_str())));
}
