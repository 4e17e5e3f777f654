#include "BetaTesters.h"

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

    auto* frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("Frame1"));
    frame->setFrameShape(QFrame::Box);
    frame->setFrameShadow(QFrame::Sunken);
    auto* frameLayout = new QVBoxLayout(frame);
    const QString thanks[] = {
        QStringLiteral("Thanks to our first tester, who tried every window before anyone else did."),
        QStringLiteral("Thanks to the zone's moderator team for their support and for the ban logs to test with."),
    };
    int number = 1;
    for (const QString& text : thanks) {
        auto* label = new QLabel(text, frame);
        label->setObjectName(QStringLiteral("Label%1").arg(number++));
        label->setWordWrap(true);
        label->setTextFormat(Qt::PlainText);
        frameLayout->addWidget(label);
    }

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(banner);
    layout->addWidget(frame);
}
