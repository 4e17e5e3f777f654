#include "BetaTesters.h"

#include "LabelFrame.h"

#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

BetaTesters::BetaTesters() {
    // The banner lives in a static library, whose resource registration the linker would drop.
    Q_INIT_RESOURCE(resources);
    setObjectName(QStringLiteral("BetaTesters"));
    setWindowTitle(QStringLiteral("Beta Testers"));

    auto* banner = new QLabel(this);
    banner->setObjectName(QStringLiteral("Banner"));
    banner->setPixmap(QPixmap(QStringLiteral(":/BetaBanner.png")));
    banner->setFixedSize(600, 81);

    QFrame* frame = makeLabelFrame(
        this,
        {QStringLiteral("Thanks to our first tester, who tried every window before anyone else did."),
         QStringLiteral("Thanks to the zone's moderator team for their support and for the ban logs to test with.")});

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(banner);
    layout->addWidget(frame);
}
