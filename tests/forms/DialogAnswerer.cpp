#include "DialogAnswerer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QGuiApplication>
#include <QPushButton>
#include <QTest>
#include <QWindow>

#include <algorithm>

DialogAnswerer::DialogAnswerer() {
    timer_.setInterval(10);
    connect(&timer_, &QTimer::timeout, this, &DialogAnswerer::Poll);
    timer_.start();
}

DialogAnswerer::~DialogAnswerer() = default;

void DialogAnswerer::Expect(Answer answer) {
    answers_.append(std::move(answer));
}

DialogAnswerer::Answer DialogAnswerer::Press(QMessageBox::StandardButton button) {
    return [button](QWidget &dialog) {
        auto *box = qobject_cast<QMessageBox *>(&dialog);
        QAbstractButton *target = box != nullptr ? box->button(button) : nullptr;
        if (target == nullptr) {
            // Not the box or button the test meant: leave without answering it as asked.
            QTest::keyClick(&dialog, Qt::Key_Escape);
            return;
        }
        target->click();
    };
}

DialogAnswerer::Answer DialogAnswerer::Key(Qt::Key key) {
    return [key](QWidget &dialog) {
        QTest::keyClick(&dialog, key);
    };
}

DialogAnswerer::Answer DialogAnswerer::Accept() {
    return [](QWidget &dialog) {
        if (auto *asDialog = qobject_cast<QDialog *>(&dialog)) {
            asDialog->accept();
        }
    };
}

DialogAnswerer::Answer DialogAnswerer::Reject() {
    return [](QWidget &dialog) {
        if (auto *asDialog = qobject_cast<QDialog *>(&dialog)) {
            asDialog->reject();
        }
    };
}

void DialogAnswerer::Poll() {
    QWidget *dialog = QApplication::activeModalWidget();
    if (dialog == nullptr || !dialog->isVisible() || dialog == handled_) {
        return;
    }
    handled_ = dialog;

    SeenDialog seen;
    seen.className = QLatin1String(dialog->metaObject()->className());
    seen.caption = dialog->windowTitle();
    seen.frame = dialog->frameGeometry();
    seen.busyCursor = QGuiApplication::overrideCursor() != nullptr;
    if (auto *box = qobject_cast<QMessageBox *>(dialog)) {
        seen.text = box->text();
        seen.icon = box->icon();
        QList<QAbstractButton *> buttons = box->buttons();
        std::sort(buttons.begin(), buttons.end(),
                  [](QAbstractButton *a, QAbstractButton *b) { return a->x() < b->x(); });
        for (QAbstractButton *button : buttons) {
            seen.buttons.append(box->standardButton(button));
        }
        seen.defaultButton = box->standardButton(box->defaultButton());
    }
    for (QWindow *window : QGuiApplication::topLevelWindows()) {
        if (window->isVisible() && window != dialog->windowHandle()) {
            seen.otherVisibleWindows.append(window->title());
        }
    }
    seen_.append(seen);

    if (answers_.isEmpty()) {
        ++unexpected_;
        QTest::keyClick(dialog, Qt::Key_Escape);
        return;
    }
    const Answer answer = answers_.takeFirst();
    answer(*dialog);
}
