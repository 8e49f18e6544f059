#pragma once

#include <QWidget>

#include <memory>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QShowEvent;
class TAdsConnection;
class TAdsQuery;
class TPrintDialog;

namespace Ui {
class TForm1;
}

// The main window: lists the bad repeat entries of the current practice when first shown, and
// prints or deletes them on request. Its controls come from Unit1.ui and its non-visual
// components, with their SQL texts and connection settings, from Unit1.components.json.
class TForm1 : public QWidget {
    Q_OBJECT

public:
    explicit TForm1(QWidget *parent = nullptr);
    ~TForm1() override;

    // Owned by the form for its whole life; never null.
    QPushButton *Button1; // Delete
    QPushButton *Button2; // Exit
    QLabel *Label1;
    TAdsQuery *qryBadUnits;
    TAdsConnection *connCorvanta;
    TAdsQuery *delBadRepeats;
    TPrintDialog *PrintDialog1;
    QPushButton *Button3; // Print
    QPlainTextEdit *Memo1;

    void Button2Click(QObject *Sender);
    void FormShow(QObject *Sender);
    void Button1Click(QObject *Sender);
    void Button3Click(QObject *Sender);

protected:
    void showEvent(QShowEvent *event) override;

private:
    std::unique_ptr<Ui::TForm1> ui_;
    bool shown_ = false;
};

// The main window while it exists.
extern TForm1 *Form1;
