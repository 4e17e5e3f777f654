#include "RepeatedOffendersForm.h"

#include "BanHandle.h"
#include "LineList.h"
#include "LoadOutcomeBox.h"
#include "RowExport.h"
#include "Text1252.h"

#include <QGroupBox>
#include <QLabel>
#include <QListView>
#include <QStringList>
#include <QVBoxLayout>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

RepeatedOffendersForm::RepeatedOffendersForm() {
    setObjectName(QStringLiteral("RepeatedOffendersForm"));
    setWindowTitle(QStringLiteral("Show repeated offenders by MID"));

    auto* list = new QListView(this);
    list->setObjectName(QStringLiteral("RepeatedOffendersList"));

    auto* notice = new QGroupBox(QStringLiteral("Notice"), this);
    auto* noticeBox = new QVBoxLayout(notice);
    auto* noticeText = new QLabel(QStringLiteral("This function does not find players banned under the same nick, "
                                                 "only alias names used by the same computer."),
                                  notice);
    noticeText->setWordWrap(true);
    noticeBox->addWidget(noticeText);

    auto* window = new QVBoxLayout(this);
    window->addWidget(list, 1);
    window->addWidget(notice);
    window->addWidget(exportLines(list, QStringLiteral("Repeated offenders by machine id.txt"))->makeBar());
    auto* fileStatus = new BanFileStatus(this);
    window->addWidget(fileStatus);
    resize(900, 560);

    fileStatus->load();
    BanHandle::ReportLines report = BanHandle::FindRepeatedOffendersByMid();
    // Each record leaves a separator line, so a report without a pair is not empty.
    const bool noPair = std::none_of(report.begin(), report.end(), [](std::string_view line) {
        return line.starts_with("Repeated offender found : ");
    });
    showLines(list, std::move(report));
    fileStatus->noticeWhenEmpty(list, noPair, QStringLiteral("No repeated offender found in this file"));
}
