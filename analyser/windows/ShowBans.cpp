#include "ShowBans.h"

#include "BanHandle.h"
#include "Messages.h"
#include "Text1252.h"

#include <QFontDatabase>
#include <QListWidget>
#include <QVBoxLayout>

ShowBans::ShowBans() {
    setObjectName(QStringLiteral("ShowBans"));
    setWindowTitle(QStringLiteral("Show bans"));
    resize(820, 560);

    auto* loadBans = new QListWidget(this);
    loadBans->setObjectName(QStringLiteral("LoadBans"));
    loadBans->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    loadBans->setUniformItemSizes(true);
    loadBans->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(loadBans);

    // The viewer reads the file itself, but the load tells the user when there is nothing (or not all) to see.
    Messages::showLoadOutcome(this, BanHandle::LoadBanFile());

    const std::vector<std::string> lines = BanHandle::ReadBanFileForViewer();
    QStringList entries;
    entries.reserve(static_cast<qsizetype>(lines.size()));
    for (const std::string& line : lines) {
        entries.append(Text1252::decode(line));
    }
    loadBans->addItems(entries);
}
