#pragma once

#include <QFlags>
#include <QList>
#include <QMessageBox>
#include <QString>

// Message dialogs in the platform's terms. Every box is modal and centred on the screen.

enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };

enum TMsgDlgBtn {
    mbYes = 0x001,
    mbNo = 0x002,
    mbOK = 0x004,
    mbCancel = 0x008,
    mbAbort = 0x010,
    mbRetry = 0x020,
    mbIgnore = 0x040,
    mbNoToAll = 0x080,
    mbYesToAll = 0x100,
};
Q_DECLARE_FLAGS(TMsgDlgButtons, TMsgDlgBtn)
Q_DECLARE_OPERATORS_FOR_FLAGS(TMsgDlgButtons)

// The modal results a dialog answers with.
enum TModalResult {
    mrNone = 0,
    mrOk = 1,
    mrCancel = 2,
    mrAbort = 3,
    mrRetry = 4,
    mrIgnore = 5,
    mrYes = 6,
    mrNo = 7,
    mrNoToAll = 9,
    mrYesToAll = 10,
};

// A question or notice with the type's icon and caption ("Information" for mtInformation; the
// application's title for mtCustom). The default button is the first of OK, Yes, ... present;
// Escape answers Cancel, else No, else OK. There is no help system: `helpContext` is accepted
// and ignored. Returns the modal result of the button pressed.
int MessageDlg(const QString &text, TMsgDlgType type, TMsgDlgButtons buttons, int helpContext);

// A plain notice: no icon, one OK button, the application's title as caption.
void ShowMessage(const QString &text);

// The box behind both, centred on the screen; answers the button pressed.
QMessageBox::StandardButton ShowMessageBox(const QString &text, const QString &caption,
                                           QMessageBox::Icon icon,
                                           const QList<QMessageBox::StandardButton> &buttons,
                                           QMessageBox::StandardButton defaultButton,
                                           QMessageBox::StandardButton escapeButton);
