#include "LabelFrame.h"

#include <QFrame>
#include <QLabel>
#include <QVBoxLayout>

QFrame* makeLabelFrame(QWidget* parent, const QStringList& texts, int spacing) {
    auto* frame = new QFrame(parent);
    frame->setObjectName(QStringLiteral("Frame1"));
    frame->setFrameShape(QFrame::Box);
    frame->setFrameShadow(QFrame::Sunken);
    auto* layout = new QVBoxLayout(frame);
    if (spacing >= 0) {
        layout->setSpacing(spacing);
    }
    int number = 1;
    for (const QString& text : texts) {
        auto* label = new QLabel(text, frame);
        label->setObjectName(QStringLiteral("Label%1").arg(number++));
        label->setWordWrap(true);
        label->setTextFormat(Qt::PlainText);
        layout->addWidget(label);
    }
    return frame;
}
