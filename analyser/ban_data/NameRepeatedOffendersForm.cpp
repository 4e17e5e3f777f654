#include "NameRepeatedOffendersForm.h"

#include "BanHandle.h"
#include "LineList.h"
#include "LoadOutcomeBox.h"
#include "RowExport.h"
#include "Text1252.h"

#include <QListView>
#include <QStringList>
#include <QVBoxLayout>

#include <string>
#include <vector>

NameRepeatedOffendersForm::NameRepeatedOffendersForm() {
    setObjectName(QStringLiteral("NameRepeatedOffendersForm"));
    setWindowTitle(QStringLiteral("Players banned for the second time is listed below"));

    auto* list = new QListView(this);
    list->setObjectName(QStringLiteral("LST_NAMEREPOFF"));
    auto* window = new QVBoxLayout(this);
    window->addWidget(list);
    window->addWidget(exportLines(list, QStringLiteral("Names banned again.txt"))->makeBar());
    auto* fileStatus = new BanFileStatus(this);
    window->addWidget(fileStatus);
    resize(520, 560);

    fileStatus->load();
    std::vector<std::string> report = BanHandle::FindRepeatedOffendersByName();
    const bool empty = report.empty();
    showLines(list, std::move(report));
    fileStatus->noticeWhenEmpty(list, empty, QStringLiteral("No repeated offender found in this file"));
}
