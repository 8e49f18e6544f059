// The generated layout code names its parameter Form1 too: it comes first, before the global.
#include "ui_Unit1.h"

#include "Unit1.h"

#include "AdsConnection.h"
#include "AdsField.h"
#include "AdsQuery.h"
#include "Application.h"
#include "BusyCursor.h"
#include "ComponentLoader.h"
#include "DateTime.h"
#include "Dialogs.h"
#include "Exception.h"
#include "PracticePath.h"
#include "PrintDialog.h"
#include "WindowsPath.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QStringBuilder>

TForm1 *Form1 = nullptr;

// The layout description is a resource of this static library: a linker keeps its registration
// only when something calls it.
static void InitFormsResources() {
    Q_INIT_RESOURCE(forms);
}

namespace {

template <class Component> Component *FindComponent(const QObject &owner, const QString &name) {
    auto *component = owner.findChild<Component *>(name, Qt::FindDirectChildrenOnly);
    if (component == nullptr) {
        throw Exception(QStringLiteral("The window %1 has no component %2 of class %3")
                            .arg(owner.objectName(), name,
                                 QLatin1String(Component::staticMetaObject.className())));
    }
    return component;
}

// Collects the listing and hands it to the report area in one piece when the walk ends, also when
// a row fails: the lines read up to the failure are shown, as if added one by one. The lines go
// straight into one text: a list of a million lines and its joined copy would double the memory
// and the time of a large practice.
class ListingFiller {
public:
    explicit ListingFiller(QPlainTextEdit &memo) : memo_(memo) {}
    ~ListingFiller() { memo_.setPlainText(text_); }
    ListingFiller(const ListingFiller &) = delete;
    ListingFiller &operator=(const ListingFiller &) = delete;

    // `line` is a QString or a QStringBuilder expression, written in place without a copy.
    template <class Line> void Add(const Line &line) {
        if (lines_ > 0) {
            text_ += QLatin1Char('\n');
        }
        text_ += line;
        ++lines_;
    }
    bool IsEmpty() const { return lines_ == 0; }

private:
    QPlainTextEdit &memo_;
    QString text_;
    qsizetype lines_ = 0;
};

// The first control in tab order that can take the focus.
QWidget *FirstFocusable(QWidget &window) {
    for (QWidget *widget = window.nextInFocusChain(); widget != &window;
         widget = widget->nextInFocusChain()) {
        if (widget->isEnabled() && (widget->focusPolicy() & Qt::TabFocus) != 0) {
            return widget;
        }
    }
    return nullptr;
}

} // namespace

TForm1::TForm1(QWidget *parent) : QWidget(parent), ui_(std::make_unique<Ui::TForm1>()) {
    ui_->setupUi(this);
    InitFormsResources();
    LoadComponentsFromFile(*this, QStringLiteral(":/forms/Unit1.components.json"));

    Button1 = ui_->Button1;
    Button2 = ui_->Button2;
    Label1 = ui_->Label1;
    qryBadUnits = FindComponent<TAdsQuery>(*this, QStringLiteral("qryBadUnits"));
    connCorvanta = FindComponent<TAdsConnection>(*this, QStringLiteral("connCorvanta"));
    delBadRepeats = FindComponent<TAdsQuery>(*this, QStringLiteral("delBadRepeats"));
    PrintDialog1 = FindComponent<TPrintDialog>(*this, QStringLiteral("PrintDialog1"));
    Button3 = ui_->Button3;
    Memo1 = ui_->Memo1;

    const auto onClick = [this](QPushButton *button, void (TForm1::*handler)(QObject *)) {
        connect(button, &QPushButton::clicked, this, [this, button, handler] {
            Application->Guard([this, button, handler] { (this->*handler)(button); });
        });
    };
    onClick(Button1, &TForm1::Button1Click);
    onClick(Button2, &TForm1::Button2Click);
    onClick(Button3, &TForm1::Button3Click);

    // Focus starts on the first enabled control in tab order as created (Exit, since Delete starts
    // disabled), so that Enter right after start never asks to delete.
    if (QWidget *first = FirstFocusable(*this)) {
        first->setFocus(Qt::OtherFocusReason);
    }
}

TForm1::~TForm1() {
    if (Form1 == this) {
        Form1 = nullptr;
    }
}

void TForm1::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    if (!shown_) {
        shown_ = true;
        Application->Guard([this] { FormShow(this); });
    }
}

void TForm1::FormShow(QObject *Sender) {
    Q_UNUSED(Sender)
    // Where the practice is: its dictionary when there is one, else its directory of tables.
    connCorvanta->SetIsConnected(false);
    const QString directory = NormalizeDataPath(GetCurrentPracticePath());
    const QString dictionary = directory + QStringLiteral("cvddf.add");
    connCorvanta->SetConnectPath(IsRegularFile(dictionary) ? dictionary : directory);

    {
        TBusyCursor busy;
        qryBadUnits->SetActive(true);
    }
    Label1->setText(QString::number(qryBadUnits->RecordCount()) +
                    QStringLiteral(" bad repeat entries."));
    Label1->adjustSize();
    if (qryBadUnits->RecordCount() == 0) {
        ShowMessage(QStringLiteral("No problems found."));
        Application->Terminate();
    }

    Memo1->clear();
    bool listed = false;
    {
        TBusyCursor busy;
        ListingFiller listing(*Memo1);
        qryBadUnits->First();
        while (!qryBadUnits->Eof()) {
            const QString chartNumber =
                qryBadUnits->FieldByName(QStringLiteral("Chart Number"))->AsString();
            const QString name = qryBadUnits->FieldByName(QStringLiteral("Name"))->AsString();
            const QString provider =
                qryBadUnits->FieldByName(QStringLiteral("Provider"))->AsString();
            const TDateTime startDate =
                qryBadUnits->FieldByName(QStringLiteral("Start Date"))->AsDateTime();
            listing.Add(chartNumber % QStringLiteral(" Name: ") % name %
                        QStringLiteral(" Provider: ") % provider % QLatin1Char(' ') %
                        FormatShortDate(startDate) % QLatin1Char(' '));
            qryBadUnits->Next();
        }
        listed = !listing.IsEmpty();
    }
    // Delete is offered only for a listing it can act on.
    Button1->setEnabled(listed);
}

void TForm1::Button2Click(QObject *Sender) {
    Q_UNUSED(Sender)
    Application->Terminate();
}

void TForm1::Button1Click(QObject *Sender) {
    Q_UNUSED(Sender)
    // At most once per process, whatever the answer.
    Button1->setEnabled(false);
    if (MessageDlg(QStringLiteral("Repeat Appointments will be deleted. Do you wish to continue."),
                   mtInformation, TMsgDlgButtons(mbYes) | mbNo, 0) == mrYes) {
        delBadRepeats->ExecSQL();
    }
}

void TForm1::Button3Click(QObject *Sender) {
    Q_UNUSED(Sender)
    if (PrintDialog1->Execute()) {
        PrintPlainText(*Memo1, PrintDialog1->Printer(), QStringLiteral("Quellmark"));
    }
}
