#include "NameRepeatedOffendersForm.h"

#include "BanHandle.h"
#include "LineList.h"
#include "LoadOutcomeBox.h"
#include "RowExport.h"
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
    auto* window = new QVBoxLayout(this);
    window->addWidget(list);
    window->addWidget(exportLines(list, QStringLiteral("Names banned again.txt"))->makeBar());
    auto* fileStatus = new BanFileStatus(this);
    window->addWidget(fileStatus);
    resize(520, 560);

    fileStatus->load();
    const std::vector<std::string> report = BanHandle::FindRepeatedOffendersByName();
    showLines(list, Text1252::decodeAll(report));
    fileStatus->noticeWhenEmpty(list, report.empty(), QStringLiteral("No repeated offender found in this file"));
}
