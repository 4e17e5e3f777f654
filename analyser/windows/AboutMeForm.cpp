#include "AboutMeForm.h"

#include "LabelFrame.h"

#include <QFrame>
#include <QLabel>
#include <QVBoxLayout>

AboutMeForm::AboutMeForm() {
    setObjectName(QStringLiteral("AboutMeForm"));
    setWindowTitle(QStringLiteral("About"));

    const QStringList texts = {
        QStringLiteral("Mirewatch, the ban log analyser, was written for the moderators of this zone. Questions "
                       "and reports go to the zone's staff."),
        QStringLiteral("It offers a wide variety of options, like checking up on individual bans, searching after "
                       "bans made by a spesific moderator, IP and MID search and a has a very unique search "
                       "algorithm which effectively finds any repeated offender within your zone."),
        QStringLiteral("It has one requirement : That you have BanG access level 2."),
        QStringLiteral("If you do not have access to this level, ask one of the sysops to get the file for you. ( "
                       "instructions on how to do this is found in the Readme! file."),
    };

    QFrame* frame = makeLabelFrame(this, texts, 12);

    auto* version = new QLabel(QStringLiteral("Mirewatch " MW_VERSION), this);
    version->setObjectName(QStringLiteral("VersionLabel"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addWidget(version);
    setMinimumWidth(480);
}
