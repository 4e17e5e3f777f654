#include "NameRepeatedOffendersForm.h"

#include "BanHandle.h"
#include "LoadOutcomeBox.h"
#include "Messages.h"
#include "Text1252.h"

#include <QListWidget>
#include <QStringList>
#include <QVBoxLayout>

#include <string>
#include <vector>

NameRepeatedOffendersForm::NameRepeatedOffendersForm() {
    setObjectName(QStringLiteral("NameRepeatedOffendersForm"));
    setWindowTitle(QStringLiteral("Players banned for the second time is listed below"));

    auto* list = new QListWidget(this);
    list->setObjectName(QStringLiteral("LST_NAMEREPOFF"));
    list->setUniformItemSizes(true);
    auto* window = new QVBoxLayout(this);
    window->addWidget(list);
    resize(480, 520);

    showLoadOutcome(this, BanHandle::LoadBanFile());
    list->addItems(Text1252::decodeAll(BanHandle::FindRepeatedOffendersByName()));
}
