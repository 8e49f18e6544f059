#include "Application.h"

#include "Dialogs.h"
#include "Exception.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QMetaObject>

TApplication *Application = nullptr;

namespace {

QString ReportText(const std::exception &failure) {
    if (const auto *own = dynamic_cast<const Exception *>(&failure)) {
        return own->Message();
    }
    return QString::fromLocal8Bit(failure.what());
}

} // namespace

TApplication::TApplication() : quitTarget_(std::make_unique<QObject>()) {
    Q_ASSERT_X(Application == nullptr, "TApplication", "only one application object at a time");
    Application = this;
}

TApplication::~TApplication() {
    // The forms go first, while the QApplication they need still exists.
    forms_.clear();
    if (Application == this) {
        Application = nullptr;
    }
}

void TApplication::Initialize() {
    QApplication::setQuitOnLastWindowClosed(true);
}

void TApplication::AdoptForm(std::unique_ptr<QWidget> form) {
    if (mainForm_.isNull()) {
        mainForm_ = form.get();
    }
    forms_.push_back(std::move(form));
}

int TApplication::Run() {
    if (mainForm_) {
        mainForm_->show();
    }
    // A request made while the main form was first shown (nothing to do, say) may already have
    // been taken by a modal dialog's own loop; the flag keeps it.
    if (terminated_) {
        return 0;
    }
    return QApplication::exec();
}

void TApplication::Terminate() {
    terminated_ = true;
    // A plain quit() before the loop runs would be lost.
    QMetaObject::invokeMethod(quitTarget_.get(), &QCoreApplication::quit, Qt::QueuedConnection);
}

QString TApplication::Title() {
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

void TApplication::Guard(const std::function<void()> &handler) {
    try {
        handler();
    } catch (const std::exception &failure) {
        ShowException(failure);
    } catch (...) {
        ShowException(Exception(QStringLiteral("An unknown failure occurred")));
    }
}

void TApplication::ShowException(const std::exception &failure) {
    QString text = ReportText(failure);
    if (!text.endsWith(QLatin1Char('.'))) {
        text += QLatin1Char('.');
    }
    ShowMessageBox(text, Title(), QMessageBox::Critical, {QMessageBox::Ok}, QMessageBox::Ok,
                   QMessageBox::Ok);
}
