#include "Dialogs.h"

#include "Application.h"

#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>

#include <array>

namespace {

// A message box that places itself in the middle of the screen once it knows its size, rather
// than wherever the platform's own placement (a window manager, an active window) would put it.
class CentredMessageBox : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

protected:
    void showEvent(QShowEvent *event) override {
        QMessageBox::showEvent(event);
        const QScreen *screen = QGuiApplication::primaryScreen();
        if (screen == nullptr) {
            return;
        }
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
};

struct ButtonKind {
    TMsgDlgBtn button;
    QMessageBox::StandardButton standard;
    TModalResult result;
};

// In the order the platform lays its buttons out.
constexpr std::array<ButtonKind, 9> buttonKinds{{
    {mbYes, QMessageBox::Yes, mrYes},
    {mbNo, QMessageBox::No, mrNo},
    {mbOK, QMessageBox::Ok, mrOk},
    {mbCancel, QMessageBox::Cancel, mrCancel},
    {mbAbort, QMessageBox::Abort, mrAbort},
    {mbRetry, QMessageBox::Retry, mrRetry},
    {mbIgnore, QMessageBox::Ignore, mrIgnore},
    {mbNoToAll, QMessageBox::NoToAll, mrNoToAll},
    {mbYesToAll, QMessageBox::YesToAll, mrYesToAll},
}};

QMessageBox::StandardButton FirstPresent(TMsgDlgButtons buttons,
                                         std::initializer_list<TMsgDlgBtn> preference) {
    for (const TMsgDlgBtn candidate : preference) {
        if (buttons.testFlag(candidate)) {
            for (const ButtonKind &kind : buttonKinds) {
                if (kind.button == candidate) {
                    return kind.standard;
                }
            }
        }
    }
    return QMessageBox::NoButton;
}

} // namespace

QMessageBox::StandardButton ShowMessageBox(const QString &text, const QString &caption,
                                           QMessageBox::Icon icon,
                                           const QList<QMessageBox::StandardButton> &buttons,
                                           QMessageBox::StandardButton defaultButton,
                                           QMessageBox::StandardButton escapeButton) {
    CentredMessageBox box;
    box.setIcon(icon);
    box.setWindowTitle(caption);
    box.setText(text);
    box.setTextFormat(Qt::PlainText);
    for (const QMessageBox::StandardButton button : buttons) {
        box.addButton(button);
    }
    if (defaultButton != QMessageBox::NoButton) {
        box.setDefaultButton(defaultButton);
    }
    if (escapeButton != QMessageBox::NoButton) {
        box.setEscapeButton(escapeButton);
    }
    box.exec();
    return box.standardButton(box.clickedButton());
}

int MessageDlg(const QString &text, TMsgDlgType type, TMsgDlgButtons buttons, int helpContext) {
    Q_UNUSED(helpContext)
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString caption;
    switch (type) {
    case mtWarning:
        icon = QMessageBox::Warning;
        caption = QStringLiteral("Warning");
        break;
    case mtError:
        icon = QMessageBox::Critical;
        caption = QStringLiteral("Error");
        break;
    case mtInformation:
        icon = QMessageBox::Information;
        caption = QStringLiteral("Information");
        break;
    case mtConfirmation:
        icon = QMessageBox::Question;
        caption = QStringLiteral("Confirm");
        break;
    case mtCustom:
        caption = TApplication::Title();
        break;
    }
    if (buttons == TMsgDlgButtons()) {
        buttons = mbOK;
    }
    QList<QMessageBox::StandardButton> standards;
    for (const ButtonKind &kind : buttonKinds) {
        if (buttons.testFlag(kind.button)) {
            standards.append(kind.standard);
        }
    }
    const QMessageBox::StandardButton defaultButton = FirstPresent(
        buttons, {mbOK, mbYes, mbYesToAll, mbRetry, mbAbort, mbIgnore, mbNo, mbNoToAll, mbCancel});
    const QMessageBox::StandardButton escapeButton = FirstPresent(buttons, {mbCancel, mbNo, mbOK});
    const QMessageBox::StandardButton pressed =
        ShowMessageBox(text, caption, icon, standards, defaultButton, escapeButton);
    for (const ButtonKind &kind : buttonKinds) {
        if (kind.standard == pressed) {
            return kind.result;
        }
    }
    return mrCancel;
}

void ShowMessage(const QString &text) {
    ShowMessageBox(text, TApplication::Title(), QMessageBox::NoIcon, {QMessageBox::Ok},
                   QMessageBox::Ok, QMessageBox::Ok);
}
