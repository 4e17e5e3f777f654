#include "WindowRegistry.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QScreen>
#include <QShortcut>

namespace {

// Outside dialogs Qt presses a focused button with Space only.
class EnterPressesButton : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* button = qobject_cast<QAbstractButton*>(watched);
        if (!button || event->type() != QEvent::KeyPress) {
            return false;
        }
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) ||
            (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
            return false;
        }
        button->click();
        return true;
    }
};

// Kept as a child of the window it judges, so it goes with it.
class OutOfDateCheck : public QObject {
public:
    OutOfDateCheck(QWidget* window, std::function<bool()> check) : QObject(window), check_(std::move(check)) {
        setObjectName(QStringLiteral("OutOfDateCheck"));
    }
    bool outOfDate() const { return check_ && check_(); }

private:
    std::function<bool()> check_;
};

const OutOfDateCheck* checkOf(const QWidget* window) {
    for (const QObject* child : window->children()) {
        if (const auto* check = dynamic_cast<const OutOfDateCheck*>(child)) {
            return check;
        }
    }
    return nullptr;
}

// Room the window manager needs around a window for its frame and title bar.
constexpr int kFrameWidth = 16;
constexpr int kFrameHeight = 48;

} // namespace

void prepareWindow(QWidget* window, WindowRole role) {
    // The windows build all their buttons in their constructors.
    auto* enter = new EnterPressesButton(window);
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
        button->installEventFilter(enter);
    }
    if (role == WindowRole::Ordinary) {
        auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), window);
        escape->setObjectName(QStringLiteral("CloseOnEscape"));
        QObject::connect(escape, &QShortcut::activated, window, &QWidget::close);
    }

    const QScreen* screen = window->screen();
    if (!screen) {
        return;
    }
    const QSize room = screen->availableGeometry().size() - QSize(kFrameWidth, kFrameHeight);
    const QSize wanted = window->testAttribute(Qt::WA_Resized) ? window->size() : window->sizeHint();
    if (wanted.isValid() && (wanted.width() > room.width() || wanted.height() > room.height())) {
        window->resize(wanted.boundedTo(room).expandedTo(window->minimumSizeHint()));
    }
}

void setOutOfDateCheck(QWidget* window, std::function<bool()> outOfDate) {
    delete checkOf(window);
    new OutOfDateCheck(window, std::move(outOfDate));
}

bool isOutOfDate(const QWidget* window) {
    const OutOfDateCheck* check = checkOf(window);
    return check && check->outOfDate();
}

void takeOver(QWidget* old, QWidget* fresh) {
    // The size and place the user gave the old window; a minimized one comes back as it was before.
    fresh->restoreGeometry(old->saveGeometry());
    fresh->setWindowState(old->windowState() & ~Qt::WindowMinimized);
    fresh->show();
    fresh->raise();
    fresh->activateWindow();
    old->close();
}
