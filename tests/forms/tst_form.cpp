// The main window in-process: the real TForm1 on practice fixtures in a temporary directory, with
// its own settings store, its modal dialogs answered as a user would answer them.
#include "AdsConnection.h"
#include "AdsField.h"
#include "AdsQuery.h"
#include "Application.h"
#include "DialogAnswerer.h"
#include "LoopSafety.h"
#include "PdfProbe.h"
#include "PracticeWriter.h"
#include "PrintDialog.h"
#include "Sqlite.h"
#include "Unit1.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <sqlite3.h>

#include <memory>
#include <optional>
#include <vector>

using practice::RepeatRow;

namespace {

const QString kNoProblems = QStringLiteral("No problems found.");
const QString kQuestion =
    QStringLiteral("Repeat Appointments will be deleted. Do you wish to continue.");

// Corvanta's record of the current practice, in this test's own settings store.
void SetCurrentPractice(const QVariant &value) {
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Corvanta"));
    if (value.isValid()) {
        store.setValue(QStringLiteral("Current Practice"), value);
    } else {
        store.remove(QStringLiteral("Current Practice"));
    }
    store.sync();
}

// A practice directory in a temporary folder.
class Practice {
public:
    Practice() { QDir().mkpath(Directory()); }

    QString Directory() const { return root_.filePath(QStringLiteral("pract1")); }
    QString TableFile() const { return Directory() + QStringLiteral("/SKRPT.db"); }

    void AddRows(const std::vector<RepeatRow> &rows) {
        if (!QFile::exists(TableFile())) {
            practice::CreateSkrptTable(TableFile());
        }
        practice::AppendRepeatRows(TableFile(), rows);
    }
    void AddDictionary(const QString &password) {
        practice::WriteDictionary(Directory() + QStringLiteral("/cvddf.add"),
                                  {{QStringLiteral("user"), password}}, {QStringLiteral("SKRPT")});
    }
    // An SKRPT written by hand, for shapes the writer does not make.
    void AddTable(const char *sql) {
        sqlite::Database db(TableFile(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        db.Exec(sql, TableFile());
    }
    // Makes this the current practice.
    void Select() const { SetCurrentPractice(Directory()); }

    // "chart|unit" of every row, sorted, read through a connection of its own.
    QStringList Rows() const {
        QObject owner;
        auto *connection = new TAdsConnection(&owner);
        connection->setObjectName(QStringLiteral("check"));
        connection->SetConnectPath(Directory() + QLatin1Char('/'));
        auto *query = new TAdsQuery(&owner);
        query->SetDatabaseName(QStringLiteral("check"));
        query->SetSQL({QStringLiteral("Select \"Chart Number\", \"Unit\" From SKRPT")});
        query->SetActive(true);
        QStringList rows;
        for (query->First(); !query->Eof(); query->Next()) {
            rows.append(query->FieldByName(QStringLiteral("Chart Number"))->AsString() +
                        QLatin1Char('|') + query->FieldByName(QStringLiteral("Unit"))->AsString());
        }
        rows.sort();
        return rows;
    }

private:
    QTemporaryDir root_;
};

RepeatRow Row(const QString &chart, const QString &unit, std::optional<QString> date = QString()) {
    return RepeatRow{chart, QStringLiteral("Name of ") + chart, QStringLiteral("DR1"),
                     std::move(date), unit};
}

QString Line(const QString &chart, const QString &date = QStringLiteral("12/30/99")) {
    return chart + QStringLiteral(" Name: Name of ") + chart + QStringLiteral(" Provider: DR1 ") +
           date + QLatin1Char(' ');
}

// Three bad entries and two real repeat definitions.
void AddMixedRows(Practice &practice) {
    practice.AddRows({Row(QStringLiteral("B1"), QStringLiteral("None")),
                      Row(QStringLiteral("G1"), QStringLiteral("Weekly")),
                      Row(QStringLiteral("B2"), QString()),
                      Row(QStringLiteral("G2"), QStringLiteral("Monthly")),
                      Row(QStringLiteral("B3"), QStringLiteral("None  "))});
}

const QStringList kMixedListing{Line(QStringLiteral("B1")), Line(QStringLiteral("B2")),
                                Line(QStringLiteral("B3"))};
const QStringList kMixedRows{QStringLiteral("B1|None"), QStringLiteral("B2|"),
                             QStringLiteral("B3|None"), QStringLiteral("G1|Weekly"),
                             QStringLiteral("G2|Monthly")};

// Makes a file read-only for as long as it lives. Permissions do not stop root, so as root the
// file is also marked immutable (and unmarked again, or its folder could not be removed).
class ReadOnlyFile {
public:
    explicit ReadOnlyFile(QString file) : file_(std::move(file)) {
        QFile::setPermissions(file_, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
        if (!IsReadOnly()) {
            immutable_ =
                QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), file_}) == 0;
        }
    }
    ~ReadOnlyFile() {
        if (immutable_) {
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), file_});
        }
        QFile::setPermissions(file_, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                         QFile::ReadOther);
    }
    ReadOnlyFile(const ReadOnlyFile &) = delete;
    ReadOnlyFile &operator=(const ReadOnlyFile &) = delete;

    bool IsReadOnly() const {
        QFile probe(file_);
        return !probe.open(QIODevice::ReadWrite);
    }

private:
    QString file_;
    bool immutable_ = false;
};

void VerifyErrorReport(const SeenDialog &seen) {
    QCOMPARE(seen.caption, QStringLiteral("tst_form"));
    QCOMPARE(seen.icon, QMessageBox::Critical);
    QCOMPARE(seen.buttons, QList<QMessageBox::StandardButton>{QMessageBox::Ok});
}

void VerifyConfirmation(const SeenDialog &seen) {
    QCOMPARE(seen.caption, QStringLiteral("Information"));
    QCOMPARE(seen.text, kQuestion);
    QCOMPARE(seen.icon, QMessageBox::Information);
    QCOMPARE(seen.buttons, (QList<QMessageBox::StandardButton>{QMessageBox::Yes, QMessageBox::No}));
    QCOMPARE(seen.defaultButton, QMessageBox::Yes);
}

} // namespace

class TestForm : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        // Never the user's own settings: the store must be in this test's folder.
        const QSettings store(QSettings::NativeFormat, QSettings::UserScope,
                              QStringLiteral("Corvanta"));
        QVERIFY2(store.fileName().startsWith(qEnvironmentVariable("XDG_CONFIG_HOME")),
                 qPrintable(store.fileName()));
        // The dictionary test of an empty practice path looks in the current directory.
        QVERIFY(workDir_.isValid());
        QVERIFY(QDir::setCurrent(workDir_.path()));
    }

    void init() {
        application_ = std::make_unique<TApplication>();
        application_->Initialize();
        application_->CreateForm(Form1);
    }

    void cleanup() {
        application_.reset();
        QVERIFY(Form1 == nullptr);
    }

    void windowAsDesigned() {
        QCOMPARE(Application->MainForm(), Form1);
        QCOMPARE(Form1->windowTitle(), QStringLiteral("Form1"));
        QCOMPARE(Form1->pos(), QPoint(326, 109));
        QCOMPARE(Form1->size(), QSize(737, 213));
        QCOMPARE(Form1->minimumSize(), QSize(737, 213));
        QCOMPARE(Form1->maximumSize(), QSize(737, 213));
        QCOMPARE(Form1->font().family(), QStringLiteral("MS Sans Serif"));
        QCOMPARE(Form1->font().pointSize(), 8);

        struct Control {
            QWidget *widget;
            QRect geometry;
            QString text;
            bool enabled;
        };
        const std::vector<Control> controls{
            {Form1->Label1, {8, 8, 32, 13}, Form1->Label1->text(), true},
            {Form1->Button3, {648, 8, 75, 25}, QStringLiteral("Print"), true},
            {Form1->Button1, {648, 40, 75, 25}, QStringLiteral("Delete"), false},
            {Form1->Button2, {648, 72, 75, 25}, QStringLiteral("Exit"), true},
            {Form1->Memo1, {8, 120, 721, 89}, Form1->Memo1->toPlainText(), true},
        };
        QCOMPARE(Form1->Label1->text(), QStringLiteral("Label1"));
        QCOMPARE(Form1->Memo1->toPlainText(), QStringLiteral("Memo1"));
        for (const Control &control : controls) {
            QCOMPARE(control.widget->geometry(), control.geometry);
            QCOMPARE(control.widget->isEnabled(), control.enabled);
            QVERIFY(!control.widget->isHidden());
            QCOMPARE(control.widget->font(), Form1->font());
            if (auto *button = qobject_cast<QPushButton *>(control.widget)) {
                QCOMPARE(button->text(), control.text);
                QVERIFY(button->autoDefault());
            }
        }

        QPlainTextEdit *memo = Form1->Memo1;
        QVERIFY(memo->isReadOnly());
        QVERIFY(memo->textInteractionFlags().testFlag(Qt::TextSelectableByMouse));
        QVERIFY(memo->textInteractionFlags().testFlag(Qt::TextSelectableByKeyboard));
        QVERIFY(!memo->textInteractionFlags().testFlag(Qt::TextEditable));
        QCOMPARE(memo->lineWrapMode(), QPlainTextEdit::WidgetWidth);
        QCOMPARE(memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QCOMPARE(memo->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);

        // Tab order Delete, Exit, Print, report area; the label takes no focus.
        QList<QWidget *> tabOrder;
        for (QWidget *widget = Form1->nextInFocusChain(); widget != Form1;
             widget = widget->nextInFocusChain()) {
            if ((widget->focusPolicy() & Qt::TabFocus) != 0 && widget->window() == Form1 &&
                widget->focusProxy() == nullptr && widget->parentWidget() == Form1) {
                tabOrder.append(widget);
            }
        }
        QCOMPARE(tabOrder,
                 (QList<QWidget *>{Form1->Button1, Form1->Button2, Form1->Button3, Form1->Memo1}));
        QCOMPARE(Form1->Label1->focusPolicy(), Qt::NoFocus);
    }

    void componentsAsDescribed() {
        for (QObject *component :
             std::initializer_list<QObject *>{Form1->connCorvanta, Form1->qryBadUnits,
                                              Form1->delBadRepeats, Form1->PrintDialog1}) {
            QCOMPARE(component->parent(), Form1);
        }
        QCOMPARE(Form1->connCorvanta->objectName(), QStringLiteral("connCorvanta"));
        QCOMPARE(Form1->qryBadUnits->objectName(), QStringLiteral("qryBadUnits"));
        QCOMPARE(Form1->delBadRepeats->objectName(), QStringLiteral("delBadRepeats"));
        QCOMPARE(Form1->PrintDialog1->objectName(), QStringLiteral("PrintDialog1"));

        const TAdsConnection &connection = *Form1->connCorvanta;
        QVERIFY(!connection.IsConnected());
        QCOMPARE(connection.ConnectPath(), QString());
        QCOMPARE(connection.AdsServerTypes(),
                 TAdsConnection::stADS_REMOTE | TAdsConnection::stADS_LOCAL);
        QCOMPARE(connection.LoginPrompt(), false);
        QCOMPARE(connection.Username(), QStringLiteral("user"));
        QCOMPARE(connection.Password(), QStringLiteral("tulipnet"));
        QCOMPARE(connection.MiddleTierConnection(), false);
        QCOMPARE(connection.StoredProcedureConnection(), false);
        QCOMPARE(connection.ReadOnly(), false);

        const QStringList condition{QStringLiteral("Where"), QStringLiteral(" \"Unit\" = 'None'"),
                                    QStringLiteral(" or"), QStringLiteral(" \"Unit\" = ''")};
        const QStringList select =
            QStringList{QStringLiteral("Select *"), QStringLiteral("From SKRPT")} + condition;
        const QStringList remove =
            QStringList{QStringLiteral("Delete"), QStringLiteral("From SKRPT")} + condition;
        for (const auto &[query, sql] :
             {std::pair{Form1->qryBadUnits, select}, std::pair{Form1->delBadRepeats, remove}}) {
            QCOMPARE(query->SQL(), sql);
            QCOMPARE(query->DatabaseName(), QStringLiteral("connCorvanta"));
            QCOMPARE(query->ReadAllColumns(), false);
            QCOMPARE(query->Active(), false);
        }
    }

    void listsTheBadEntries_data() {
        QTest::addColumn<bool>("dictionary");
        QTest::addColumn<std::vector<RepeatRow>>("rows");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QStringList>("listing");

        const std::vector<RepeatRow> rows{
            {QStringLiteral("C001  "), QStringLiteral("Smith, Anna   "), QStringLiteral("DR1 "),
             QStringLiteral("2024-03-05"), QStringLiteral("None")},
            {QStringLiteral("G001"), QStringLiteral("Real"), QStringLiteral("DR1"),
             QStringLiteral("2024-03-05"), QStringLiteral("Weekly")},
            {QStringLiteral("  C002"), QString(), QStringLiteral("DR2"), std::nullopt, QString()},
            {QStringLiteral("C003"), QStringLiteral("Brown"), QString(), QString(),
             QStringLiteral("None   ")},
            {QStringLiteral("G002"), QStringLiteral("Real"), QStringLiteral("DR2"),
             QStringLiteral("1999-01-01"), QStringLiteral("Days")},
            {QString(), QStringLiteral(" Lee"), QStringLiteral("DR3"), QStringLiteral("1999-12-31"),
             QStringLiteral("    ")},
        };
        const QStringList listing{
            QStringLiteral("C001 Name: Smith, Anna Provider: DR1 03/05/24 "),
            QStringLiteral("  C002 Name:  Provider: DR2 12/30/99 "),
            QStringLiteral("C003 Name: Brown Provider:  12/30/99 "),
            QStringLiteral(" Name:  Lee Provider: DR3 12/31/99 "),
        };
        QTest::newRow("directory")
            << false << rows << QStringLiteral("4 bad repeat entries.") << listing;
        QTest::newRow("dictionary")
            << true << rows << QStringLiteral("4 bad repeat entries.") << listing;
        QTest::newRow("one entry")
            << false
            << std::vector<RepeatRow>{{QStringLiteral("C9"), QStringLiteral("Ng"),
                                       QStringLiteral("DR4"), QStringLiteral("2001-07-04"),
                                       QStringLiteral("None")}}
            << QStringLiteral("1 bad repeat entries.")
            << QStringList{QStringLiteral("C9 Name: Ng Provider: DR4 07/04/01 ")};
    }

    void listsTheBadEntries() {
        QFETCH(bool, dictionary);
        QFETCH(std::vector<RepeatRow>, rows);
        QFETCH(QString, label);
        QFETCH(QStringList, listing);
        Practice practice;
        practice.AddRows(rows);
        if (dictionary) {
            practice.AddDictionary(QStringLiteral("tulipnet"));
        }
        practice.Select();

        DialogAnswerer answerer;
        Form1->show();

        QCOMPARE(answerer.Seen().size(), 0);
        QVERIFY(Form1->isVisible());
        QCOMPARE(Form1->Label1->text(), label);
        // The label sizes itself to its text.
        QVERIFY(Form1->Label1->width() >= Form1->Label1->sizeHint().width());
        QCOMPARE(Form1->Memo1->toPlainText(), listing.join(QLatin1Char('\n')));
        QVERIFY(Form1->Button1->isEnabled());
        QCOMPARE(Form1->focusWidget(), Form1->Button2);
        QVERIFY(!QGuiApplication::overrideCursor());
        const QString directory =
            QDir::toNativeSeparators(practice.Directory()).toUpper() + QLatin1Char('\\');
        QCOMPARE(Form1->connCorvanta->ConnectPath(),
                 dictionary ? directory + QStringLiteral("cvddf.add") : directory);
    }

    void directoryNamedLikeTheDictionaryIsNotOne() {
        Practice practice;
        AddMixedRows(practice);
        QVERIFY(QDir(practice.Directory()).mkdir(QStringLiteral("cvddf.add")));
        practice.Select();

        DialogAnswerer answerer;
        Form1->show();
        QCOMPARE(answerer.Seen().size(), 0);
        QVERIFY(!Form1->connCorvanta->ConnectPath().endsWith(QStringLiteral("cvddf.add")));
        QCOMPARE(Form1->Memo1->toPlainText(), kMixedListing.join(QLatin1Char('\n')));
    }

    void listingCanBeCopiedButNotEdited() {
        Practice practice;
        AddMixedRows(practice);
        practice.Select();
        DialogAnswerer answerer;
        Form1->show();
        QVERIFY(QTest::qWaitForWindowActive(Form1));

        QPlainTextEdit *memo = Form1->Memo1;
        memo->setFocus();
        QTest::keyClicks(memo, QStringLiteral("x"));
        QTest::keyClick(memo, Qt::Key_Delete);
        QTest::keyClick(memo, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(memo, Qt::Key_C, Qt::ControlModifier);
        const QString expected = kMixedListing.join(QLatin1Char('\n'));
        QCOMPARE(memo->toPlainText(), expected);
        QCOMPARE(QGuiApplication::clipboard()->text(), expected);
    }

    void nothingToRepairEndsTheProgram() {
        Practice practice;
        practice.AddRows({Row(QStringLiteral("G1"), QStringLiteral("Weekly"))});
        practice.Select();

        DialogAnswerer answerer;
        answerer.Expect(DialogAnswerer::Press(QMessageBox::Ok));
        LoopSafety safety;
        QCOMPARE(Application->Run(), 0);

        QCOMPARE(answerer.Seen().size(), 1);
        const SeenDialog &seen = answerer.Seen().first();
        QCOMPARE(seen.text, kNoProblems);
        QCOMPARE(seen.caption, QStringLiteral("tst_form"));
        QCOMPARE(seen.icon, QMessageBox::NoIcon);
        QCOMPARE(seen.buttons, QList<QMessageBox::StandardButton>{QMessageBox::Ok});
        QVERIFY(!seen.otherVisibleWindows.contains(QStringLiteral("Form1")));
        QCOMPARE(Form1->Label1->text(), QStringLiteral("0 bad repeat entries."));
        QCOMPARE(Form1->Memo1->toPlainText(), QString());
        QVERIFY(!Form1->Button1->isEnabled());
        QCOMPARE(practice.Rows(), QStringList{QStringLiteral("G1|Weekly")});
    }

    void failedScanIsReported_data() {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("message"); // the whole text, or a part of it after '~'
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("memo");

        const QString label1 = QStringLiteral("Label1");
        const QString memo1 = QStringLiteral("Memo1");
        QTest::newRow("no practice recorded")
            << "unset"
            << "Must specify connection string before getting a server connection." << label1
            << memo1;
        QTest::newRow("empty practice recorded")
            << "empty"
            << "Must specify connection string before getting a server connection." << label1
            << memo1;
        QTest::newRow("not a string")
            << "binary"
            << "Invalid data type for 'Current Practice'." << label1 << memo1;
        QTest::newRow("missing directory") << "absent"
                                           << "~ABSENT" << label1 << memo1;
        QTest::newRow("no SKRPT table") << "no table"
                                        << "~SKRPT" << label1 << memo1;
        QTest::newRow("login refused") << "login"
                                       << "~cvddf.add" << label1 << memo1;
        QTest::newRow("missing column") << "no Name"
                                        << "Field 'Name' not found."
                                        << "2 bad repeat entries." << QString();
        QTest::newRow("bad date on the second row")
            << "bad date"
            << "~Start Date"
            << "3 bad repeat entries." << Line(QStringLiteral("B1"));
    }

    void failedScanIsReported() {
        QFETCH(QString, setup);
        QFETCH(QString, message);
        QFETCH(QString, label);
        QFETCH(QString, memo);

        Practice practice;
        practice.Select();
        if (setup == QLatin1String("unset")) {
            SetCurrentPractice(QVariant());
        } else if (setup == QLatin1String("empty")) {
            SetCurrentPractice(QString());
        } else if (setup == QLatin1String("binary")) {
            SetCurrentPractice(QByteArray("\x01\x02", 2));
        } else if (setup == QLatin1String("absent")) {
            SetCurrentPractice(practice.Directory() + QStringLiteral("/absent"));
        } else if (setup == QLatin1String("login")) {
            AddMixedRows(practice);
            practice.AddDictionary(QStringLiteral("tulipnet2"));
        } else if (setup == QLatin1String("no Name")) {
            practice.AddTable(R"(CREATE TABLE SKRPT ("Chart Number" TEXT, "Provider" TEXT,
                "Start Date" TEXT, "Unit" TEXT);
                INSERT INTO SKRPT VALUES ('B1', 'DR1', NULL, 'None'), ('B2', 'DR1', NULL, ''))");
        } else if (setup == QLatin1String("bad date")) {
            practice.AddRows(
                {Row(QStringLiteral("B1"), QStringLiteral("None")),
                 Row(QStringLiteral("B2"), QStringLiteral("None"), QStringLiteral("2024-02-30")),
                 Row(QStringLiteral("B3"), QStringLiteral("None"))});
        }

        DialogAnswerer answerer;
        answerer.Expect(DialogAnswerer::Press(QMessageBox::Ok));
        Form1->show();

        QCOMPARE(answerer.Seen().size(), 1);
        const SeenDialog &seen = answerer.Seen().first();
        VerifyErrorReport(seen);
        // The busy cursor of the scan is gone before the report comes up.
        QVERIFY(!seen.busyCursor);
        QVERIFY(!QGuiApplication::overrideCursor());
        if (message.startsWith(QLatin1Char('~'))) {
            QVERIFY2(seen.text.contains(message.mid(1)), qPrintable(seen.text));
            QVERIFY2(seen.text.endsWith(QLatin1Char('.')), qPrintable(seen.text));
        } else {
            QCOMPARE(seen.text, message);
        }
        // Reported before the window came up; the window comes up all the same.
        QVERIFY(!seen.otherVisibleWindows.contains(QStringLiteral("Form1")));
        QVERIFY(Form1->isVisible());
        QCOMPARE(Form1->Label1->text(), label);
        QCOMPARE(Form1->Memo1->toPlainText(), memo);
        QVERIFY(!Form1->Button1->isEnabled());
        QVERIFY(Form1->Button2->isEnabled());
        QVERIFY(Form1->Button3->isEnabled());
    }

    void deleteAsksFirst_data() {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("deletes");
        QTest::newRow("Yes") << "Yes" << true;
        QTest::newRow("Enter takes the default Yes") << "Enter" << true;
        QTest::newRow("No") << "No" << false;
        QTest::newRow("Escape answers No") << "Escape" << false;
    }

    void deleteAsksFirst() {
        QFETCH(QString, answer);
        QFETCH(bool, deletes);
        Practice practice;
        AddMixedRows(practice);
        practice.Select();
        DialogAnswerer answerer;
        Form1->show();
        QCOMPARE(answerer.Seen().size(), 0);
        QVERIFY(Form1->Button1->isEnabled());
        // The statement removes the bad entries as they stand when it runs.
        practice.AddRows({Row(QStringLiteral("B4"), QStringLiteral("None"))});

        if (answer == QLatin1String("Yes")) {
            answerer.Expect(DialogAnswerer::Press(QMessageBox::Yes));
        } else if (answer == QLatin1String("No")) {
            answerer.Expect(DialogAnswerer::Press(QMessageBox::No));
        } else {
            answerer.Expect(DialogAnswerer::Key(answer == QLatin1String("Enter") ? Qt::Key_Return
                                                                                 : Qt::Key_Escape));
        }
        Form1->Button1->click();

        QCOMPARE(answerer.Seen().size(), 1);
        VerifyConfirmation(answerer.Seen().first());
        QVERIFY(!Form1->Button1->isEnabled());
        QStringList remaining =
            deletes ? QStringList{QStringLiteral("G1|Weekly"), QStringLiteral("G2|Monthly")}
                    : kMixedRows + QStringList{QStringLiteral("B4|None")};
        remaining.sort();
        QCOMPARE(practice.Rows(), remaining);
        // The listing is not refreshed.
        QCOMPARE(Form1->Label1->text(), QStringLiteral("3 bad repeat entries."));
        QCOMPARE(Form1->Memo1->toPlainText(), kMixedListing.join(QLatin1Char('\n')));
    }

    void failedDeleteLosesNothing_data() {
        QTest::addColumn<bool>("locked");
        QTest::newRow("table locked by another program") << true;
        QTest::newRow("read-only table file") << false;
    }

    void failedDeleteLosesNothing() {
        QFETCH(bool, locked);
        Practice practice;
        AddMixedRows(practice);
        practice.Select();
        std::unique_ptr<sqlite::Database> otherProgram;
        std::unique_ptr<ReadOnlyFile> readOnly;
        if (locked) {
            otherProgram =
                std::make_unique<sqlite::Database>(practice.TableFile(), SQLITE_OPEN_READWRITE);
        } else {
            readOnly = std::make_unique<ReadOnlyFile>(practice.TableFile());
            if (!readOnly->IsReadOnly()) {
                QSKIP("cannot make a file read-only for this user");
            }
        }
        DialogAnswerer answerer;
        Form1->show();
        QCOMPARE(answerer.Seen().size(), 0);
        if (otherProgram) {
            otherProgram->Exec("BEGIN IMMEDIATE", practice.TableFile());
        }

        answerer.Expect(DialogAnswerer::Press(QMessageBox::Yes));
        answerer.Expect(DialogAnswerer::Press(QMessageBox::Ok));
        Form1->Button1->click();
        otherProgram.reset();

        QCOMPARE(answerer.Seen().size(), 2);
        VerifyConfirmation(answerer.Seen().at(0));
        const SeenDialog &error = answerer.Seen().at(1);
        VerifyErrorReport(error);
        QVERIFY2(error.text.contains(QStringLiteral("SKRPT")), qPrintable(error.text));
        QVERIFY(error.otherVisibleWindows.contains(QStringLiteral("Form1")));
        QCOMPARE(practice.Rows(), kMixedRows);
        QVERIFY(Form1->isVisible());
        QVERIFY(!Form1->Button1->isEnabled());
        QCOMPARE(Form1->Label1->text(), QStringLiteral("3 bad repeat entries."));
        QCOMPARE(Form1->Memo1->toPlainText(), kMixedListing.join(QLatin1Char('\n')));
    }

    void printsTheListing_data() {
        QTest::addColumn<bool>("scanFails");
        QTest::addColumn<bool>("confirm");
        QTest::addColumn<QStringList>("printed");
        QStringList trimmed;
        for (const QString &line : kMixedListing) {
            trimmed.append(line.trimmed());
        }
        QTest::newRow("listing") << false << true << trimmed;
        QTest::newRow("placeholder after a failed scan")
            << true << true << QStringList{QStringLiteral("Memo1")};
        QTest::newRow("cancelled") << false << false << QStringList();
    }

    void printsTheListing() {
        QFETCH(bool, scanFails);
        QFETCH(bool, confirm);
        QFETCH(QStringList, printed);
        Practice practice;
        if (scanFails) {
            SetCurrentPractice(QVariant());
        } else {
            AddMixedRows(practice);
            practice.Select();
        }
        DialogAnswerer answerer;
        if (scanFails) {
            answerer.Expect(DialogAnswerer::Press(QMessageBox::Ok));
        }
        Form1->show();
        QTemporaryDir out;
        QVERIFY(out.isValid());
        const QString file = out.filePath(QStringLiteral("listing.pdf"));
        Form1->PrintDialog1->Printer().setOutputFileName(file);
        const int before = answerer.Seen().size();

        answerer.Expect(confirm ? DialogAnswerer::Accept() : DialogAnswerer::Reject());
        Form1->Button3->click();

        QCOMPARE(answerer.Seen().size(), before + 1);
        QCOMPARE(answerer.Seen().last().className, QStringLiteral("QPrintDialog"));
        QCOMPARE(answerer.Unexpected(), 0);
        if (!confirm) {
            QVERIFY(!QFile::exists(file));
            return;
        }
        const PdfProbe pdf(file);
        QCOMPARE(pdf.Info(QStringLiteral("Title")), QStringLiteral("Quellmark"));
        QCOMPARE(pdf.Lines(), printed);
    }

    void endsWithoutQuestion_data() {
        QTest::addColumn<QString>("action");
        QTest::newRow("Enter right after start") << "Enter";
        QTest::newRow("Exit") << "Exit";
        QTest::newRow("close box") << "Close";
    }

    void endsWithoutQuestion() {
        QFETCH(QString, action);
        Practice practice;
        AddMixedRows(practice);
        practice.Select();
        DialogAnswerer answerer;
        QWidget *focusAtStart = nullptr;
        QTimer::singleShot(0, Form1, [&] {
            if (!QTest::qWaitForWindowActive(Form1)) {
                return;
            }
            focusAtStart = QApplication::focusWidget();
            if (action == QLatin1String("Enter")) {
                QTest::keyClick(focusAtStart, Qt::Key_Return);
            } else if (action == QLatin1String("Exit")) {
                QTest::mouseClick(Form1->Button2, Qt::LeftButton);
            } else {
                Form1->close();
            }
        });
        LoopSafety safety;
        QCOMPARE(Application->Run(), 0);

        QCOMPARE(focusAtStart, Form1->Button2);
        QCOMPARE(answerer.Seen().size(), 0);
        QCOMPARE(practice.Rows(), kMixedRows);
    }

private:
    QTemporaryDir workDir_;
    std::unique_ptr<TApplication> application_;
};

int main(int argc, char *argv[]) {
    // This test's own settings store, in place before anything reads a setting.
    QTemporaryDir config;
    if (!config.isValid()) {
        return 1;
    }
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    QApplication application(argc, argv);
    application.setAttribute(Qt::AA_Use96Dpi, true);
    TestForm test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_form.moc"
