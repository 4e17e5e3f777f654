#include "ShowBans.h"

#include "BanHandle.h"
#include "LoadOutcomeBox.h"
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
    showLoadOutcome(this, BanHandle::LoadBanFile());

    loadBans->addItems(Text1252::decodeAll(BanHandle::ReadBanFileForViewer()));
}
