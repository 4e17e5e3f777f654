#include "ShowBans.h"

#include "BanHandle.h"
#include "LineList.h"
#include "LoadOutcomeBox.h"
#include "RowExport.h"
#include "Text1252.h"

#include <QFontDatabase>
#include <QFontInfo>

#include <QListView>
#include <QVBoxLayout>
#include <algorithm>

ShowBans::ShowBans() {
    setObjectName(QStringLiteral("ShowBans"));
    setWindowTitle(QStringLiteral("Show bans"));
    resize(820, 560);

    auto* loadBans = new QListView(this);
    loadBans->setObjectName(QStringLiteral("LoadBans"));
    // Fixed-width, so the columns of the log line up.
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setStyleHint(QFont::Monospace);
    fixed.setFixedPitch(true);
    if (!QFontInfo(fixed).fixedPitch()) {
        // The system's fixed font may not be installed (Wine without the Windows fonts): any fixed one will do.
        const QStringList families = QFontDatabase::families();
        const auto found = std::find_if(families.begin(), families.end(),
                                        [](const QString& family) { return QFontDatabase::isFixedPitch(family); });
        if (found != families.end())
            fixed.setFamily(*found);
    }
    loadBans->setFont(fixed);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(loadBans);
    layout->addWidget(exportLines(loadBans, QStringLiteral("Ban file.txt"))->makeBar());
    auto* fileStatus = new BanFileStatus(this);
    layout->addWidget(fileStatus);

    // The viewer reads the file itself, but the load tells the user when there is nothing (or not all) to see.
    fileStatus->load();

    showLines(loadBans, BanHandle::ReadBanFileForViewer());
}
