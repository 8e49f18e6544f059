#pragma once

#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>

// What a test saw of a modal dialog when it came up.
struct SeenDialog {
    QString className;
    QString caption;
    QString text; // a message box's text
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QList<QMessageBox::StandardButton> buttons; // in the order the box lays them out
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    QRect frame;
    QStringList otherVisibleWindows; // captions of the other top-level windows on screen
    bool busyCursor = false;         // the application's busy cursor was up
};

// Answers the real modal dialogs that come up while a test drives the program: it watches for
// QApplication::activeModalWidget(), records what the dialog shows, and applies the next queued
// answer. A dialog with no answer queued is counted as unexpected and closed with Escape, so a
// test never hangs on it.
class DialogAnswerer : public QObject {
    Q_OBJECT

public:
    using Answer = std::function<void(QWidget &dialog)>;

    DialogAnswerer();
    ~DialogAnswerer() override;

    void Expect(Answer answer);

    // Clicks the box's standard button.
    static Answer Press(QMessageBox::StandardButton button);
    // Types a key into the dialog (Return, Escape).
    static Answer Key(Qt::Key key);
    static Answer Accept();
    static Answer Reject();

    const QList<SeenDialog> &Seen() const { return seen_; }
    int Unexpected() const { return unexpected_; }
    int Pending() const { return static_cast<int>(answers_.size()); }

private:
    void Poll();

    QTimer timer_;
    QList<Answer> answers_;
    QList<SeenDialog> seen_;
    QPointer<QWidget> handled_;
    int unexpected_ = 0;
};
