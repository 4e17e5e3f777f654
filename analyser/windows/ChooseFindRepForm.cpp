#include "ChooseFindRepForm.h"

#include "NameRepeatedOffendersForm.h"
#include "RepeatedOffendersForm.h"
#include "WindowRegistry.h"

#include <QHBoxLayout>
#include <QPushButton>

ChooseFindRepForm::ChooseFindRepForm() {
    setObjectName(QStringLiteral("ChooseFindRepForm"));
    setWindowTitle(QStringLiteral("Select search mode"));

    auto* byMid = new QPushButton(QStringLiteral("Search by machine ID"), this);
    byMid->setObjectName(QStringLiteral("CMD_FindRepOffendersMid"));
    auto* byName = new QPushButton(QStringLiteral("Search by name"), this);
    byName->setObjectName(QStringLiteral("CMD_FindRepOffendersName"));
    for (QPushButton* button : {byMid, byName}) {
        button->setMinimumSize(170, 48);
    }

    // The reports are single for the whole program, so closing this chooser leaves them as they are.
    connect(byMid, &QPushButton::clicked, this, [] { openWindow<RepeatedOffendersForm>(); });
    connect(byName, &QPushButton::clicked, this, [] { openWindow<NameRepeatedOffendersForm>(); });

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(12);
    layout->addWidget(byMid);
    layout->addWidget(byName);
}
