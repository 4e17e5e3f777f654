#include "HelpMeForm.h"

#include "API.h"
#include "Messages.h"

#include <QFrame>
#include <QLabel>
#include <QVBoxLayout>

HelpMeForm::HelpMeForm() {
    setObjectName(QStringLiteral("HelpMeForm"));
    setWindowTitle(QStringLiteral("Help!"));

    const QString texts[] = {
        QStringLiteral("Question : Where do I get these \"ban files\""),
        QStringLiteral("Answer : This is probably the biggest disadvantage of this program, you`ll have to retrive "
                       "them yourself from within the zone. Read Readme!.txt for details on how to do this."),
        QStringLiteral("Question : I have retrived the file as you specified, but nothing shows up!"),
        QStringLiteral("Answer : You need atleast level 2 BanG access to the zone, or you haven`t retrived the file "
                       "using the correct syntax. Read Readme.txt once more."),
        QStringLiteral("Question : I have done everything you have specified, but it the program either crashes or "
                       "won`t find any information"),
        QStringLiteral("Answer : This program has been tested countless times, but if you are sure something is not "
                       "working, write to the program's maintainer by e-mail, or ask one of the zone's staff inside "
                       "Continuum for help."),
    };

    auto* frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("Frame1"));
    frame->setFrameShape(QFrame::Box);
    frame->setFrameShadow(QFrame::Sunken);
    auto* frameLayout = new QVBoxLayout(frame);
    frameLayout->setSpacing(8);
    int number = 1;
    for (const QString& text : texts) {
        // A line between one answer and the next question.
        if (number > 1 && number % 2 == 1) {
            auto* line = new QFrame(frame);
            line->setObjectName(QStringLiteral("Line%1").arg(number / 2));
            line->setFrameShape(QFrame::HLine);
            line->setFrameShadow(QFrame::Sunken);
            frameLayout->addWidget(line);
        }
        auto* label = new QLabel(text, frame);
        label->setObjectName(QStringLiteral("Label%1").arg(number));
        label->setWordWrap(true);
        label->setTextFormat(Qt::PlainText);
        if (number % 2 == 1) {
            QFont bold = label->font();
            bold.setBold(true);
            label->setFont(bold);
        }
        frameLayout->addWidget(label);
        ++number;
    }

    // Which Config.ini this run uses: an installed program keeps it in the user's configuration directory.
    const auto configPath = API::ConfigFilePath();
    auto* settings = new QLabel(
        configPath.empty()
            ? QStringLiteral("Mirewatch cannot find a place for its settings.")
            : QStringLiteral("The chosen ban file is remembered in %1").arg(Messages::displayPath(configPath)),
        this);
    settings->setObjectName(QStringLiteral("SettingsLabel"));
    settings->setWordWrap(true);
    settings->setTextFormat(Qt::PlainText);
    settings->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addWidget(settings);
    layout->addStretch(); // room to spare goes below the texts, not between them
    setMinimumWidth(520);
}
