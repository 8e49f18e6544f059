// The application object's start, end and error report, and the message dialogs, answered as a
// user would answer them.
#include "Application.h"
#include "DialogAnswerer.h"
#include "LoopSafety.h"
#include "Dialogs.h"
#include "Exception.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QShowEvent>
#include <QTest>
#include <QTimer>

#include <stdexcept>

namespace {

void VerifyCentredOnScreen(const SeenDialog &seen) {
    const QPoint screenCentre = QGuiApplication::primaryScreen()->availableGeometry().center();
    const QPoint offset = seen.frame.center() - screenCentre;
    QVERIFY2(offset.manhattanLength() <= 2,
             qPrintable(QStringLiteral("dialog centre is %1 px off the screen's centre")
                            .arg(offset.manhattanLength())));
}

// A main form that asks to end the program and then shows a message while it is being shown.
class EndingForm : public QWidget {
protected:
    void showEvent(QShowEvent *event) override {
        QWidget::showEvent(event);
        Application->Terminate();
        ShowMessage(QStringLiteral("after the end was requested"));
    }
};

} // namespace

class TestDialogs : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { application_ = std::make_unique<TApplication>(); }
    void cleanup() { application_.reset(); }

    void titleIsTheExecutableName() {
        QCOMPARE(TApplication::Title(), QStringLiteral("tst_dialogs"));
    }

    void messageDlgAnswers_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("buttons");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("icon");
        QTest::addColumn<QList<QMessageBox::StandardButton>>("shown");
        QTest::addColumn<int>("defaultButton");
        QTest::addColumn<int>("action"); // a key, or a standard button to click
        QTest::addColumn<bool>("isKey");
        QTest::addColumn<int>("result");

        const QList<QMessageBox::StandardButton> yesNo{QMessageBox::Yes, QMessageBox::No};
        const int infoYesNo = int(mbYes | mbNo);
        QTest::newRow("information, Enter takes Yes")
            << int(mtInformation) << infoYesNo << QStringLiteral("Information")
            << int(QMessageBox::Information) << yesNo << int(QMessageBox::Yes)
            << int(Qt::Key_Return) << true << int(mrYes);
        QTest::newRow("information, Escape answers No")
            << int(mtInformation) << infoYesNo << QStringLiteral("Information")
            << int(QMessageBox::Information) << yesNo << int(QMessageBox::Yes)
            << int(Qt::Key_Escape) << true << int(mrNo);
        QTest::newRow("information, click No")
            << int(mtInformation) << infoYesNo << QStringLiteral("Information")
            << int(QMessageBox::Information) << yesNo << int(QMessageBox::Yes)
            << int(QMessageBox::No) << false << int(mrNo);
        QTest::newRow("information, click Yes")
            << int(mtInformation) << infoYesNo << QStringLiteral("Information")
            << int(QMessageBox::Information) << yesNo << int(QMessageBox::Yes)
            << int(QMessageBox::Yes) << false << int(mrYes);
        QTest::newRow("confirmation, Escape answers Cancel")
            << int(mtConfirmation) << int(mbOK | mbCancel) << QStringLiteral("Confirm")
            << int(QMessageBox::Question)
            << QList<QMessageBox::StandardButton>{QMessageBox::Ok, QMessageBox::Cancel}
            << int(QMessageBox::Ok) << int(Qt::Key_Escape) << true << int(mrCancel);
        QTest::newRow("error, OK alone")
            << int(mtError) << int(mbOK) << QStringLiteral("Error") << int(QMessageBox::Critical)
            << QList<QMessageBox::StandardButton>{QMessageBox::Ok} << int(QMessageBox::Ok)
            << int(Qt::Key_Return) << true << int(mrOk);
    }

    void messageDlgAnswers() {
        QFETCH(int, type);
        QFETCH(int, buttons);
        QFETCH(QString, caption);
        QFETCH(int, icon);
        QFETCH(QList<QMessageBox::StandardButton>, shown);
        QFETCH(int, defaultButton);
        QFETCH(int, action);
        QFETCH(bool, isKey);
        QFETCH(int, result);

        // An active window off the centre: the box still belongs in the middle of the screen.
        QWidget active;
        active.setGeometry(0, 0, 300, 200);
        active.show();
        active.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&active));

        DialogAnswerer answerer;
        answerer.Expect(isKey ? DialogAnswerer::Key(Qt::Key(action))
                              : DialogAnswerer::Press(QMessageBox::StandardButton(action)));
        const QString text =
            QStringLiteral("Repeat Appointments will be deleted. Do you wish to continue.");
        const int answer = MessageDlg(text, TMsgDlgType(type), TMsgDlgButtons::fromInt(buttons), 0);

        QCOMPARE(answerer.Seen().size(), 1);
        QCOMPARE(answerer.Unexpected(), 0);
        const SeenDialog &seen = answerer.Seen().first();
        QCOMPARE(answer, result);
        QCOMPARE(seen.caption, caption);
        QCOMPARE(seen.text, text);
        QCOMPARE(int(seen.icon), icon);
        QCOMPARE(seen.buttons, shown);
        QCOMPARE(int(seen.defaultButton), defaultButton);
        VerifyCentredOnScreen(seen);
    }

    void showMessageIsAPlainNotice() {
        DialogAnswerer answerer;
        answerer.Expect(DialogAnswerer::Key(Qt::Key_Return));
        ShowMessage(QStringLiteral("No problems found."));

        QCOMPARE(answerer.Seen().size(), 1);
        const SeenDialog &seen = answerer.Seen().first();
        QCOMPARE(seen.caption, QStringLiteral("tst_dialogs"));
        QCOMPARE(seen.text, QStringLiteral("No problems found."));
        QCOMPARE(seen.icon, QMessageBox::NoIcon);
        QCOMPARE(seen.buttons, QList<QMessageBox::StandardButton>{QMessageBox::Ok});
        VerifyCentredOnScreen(seen);
    }

    void guardReportsAndStopsTheFailure_data() {
        QTest::addColumn<bool>("own");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        QTest::newRow("full stop appended") << true << QStringLiteral("Field 'Name' not found")
                                            << QStringLiteral("Field 'Name' not found.");
        QTest::newRow("full stop kept") << true << QStringLiteral("Table SKRPT is locked.")
                                        << QStringLiteral("Table SKRPT is locked.");
        QTest::newRow("standard exception")
            << false << QStringLiteral("bad allocation") << QStringLiteral("bad allocation.");
    }

    void guardReportsAndStopsTheFailure() {
        QFETCH(bool, own);
        QFETCH(QString, message);
        QFETCH(QString, shown);

        DialogAnswerer answerer;
        answerer.Expect(DialogAnswerer::Press(QMessageBox::Ok));
        bool reachedAfterThrow = false;
        Application->Guard([&] {
            if (own) {
                throw EDatabaseError(message);
            }
            throw std::runtime_error(message.toStdString());
            reachedAfterThrow = true;
        });

        QVERIFY(!reachedAfterThrow);
        QCOMPARE(answerer.Seen().size(), 1);
        const SeenDialog &seen = answerer.Seen().first();
        QCOMPARE(seen.caption, QStringLiteral("tst_dialogs"));
        QCOMPARE(seen.text, shown);
        QCOMPARE(seen.icon, QMessageBox::Critical);
        QCOMPARE(seen.buttons, QList<QMessageBox::StandardButton>{QMessageBox::Ok});
    }

    void guardShowsNothingWithoutFailure() {
        DialogAnswerer answerer;
        bool ran = false;
        Application->Guard([&] { ran = true; });
        QTest::qWait(50);
        QVERIFY(ran);
        QCOMPARE(answerer.Seen().size(), 0);
    }

    void terminateBeforeTheLoopEndsIt() {
        LoopSafety safety;
        Application->Terminate();
        QCOMPARE(QApplication::exec(), 0);
    }

    void terminateDuringFirstShowEndsRun() {
        // The message box's own loop runs after the request; the program must still end.
        DialogAnswerer answerer;
        answerer.Expect(DialogAnswerer::Press(QMessageBox::Ok));
        EndingForm *form = nullptr;
        Application->Initialize();
        Application->CreateForm(form);
        LoopSafety safety;
        QCOMPARE(Application->Run(), 0);
        QCOMPARE(answerer.Seen().size(), 1);
        QVERIFY(Application->Terminated());
    }

    void closingTheMainFormEndsRun() {
        QWidget *form = nullptr;
        Application->Initialize();
        Application->CreateForm(form);
        QCOMPARE(Application->MainForm(), form);
        QTimer::singleShot(0, form, [form] { form->close(); });
        LoopSafety safety;
        QCOMPARE(Application->Run(), 0);
    }

private:
    std::unique_ptr<TApplication> application_;
};

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
