#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <exception>
#include <functional>
#include <memory>
#include <vector>

// The application object: the start-up sequence, the main form, the end of the program and the
// standard error report. One exists at a time, over a QApplication made by its owner (main or a
// test); while it lives the global `Application` points to it.
class TApplication {
public:
    TApplication();
    ~TApplication();
    TApplication(const TApplication &) = delete;
    TApplication &operator=(const TApplication &) = delete;

    // Prepares the running QApplication: closing the main form ends the program.
    void Initialize();

    // Creates a form owned by the application and stores it in `reference`. The first form created
    // is the main form, shown by Run.
    template <class Form> void CreateForm(Form *&reference) {
        auto form = std::make_unique<Form>();
        reference = form.get();
        AdoptForm(std::move(form));
    }

    // Shows the main form and dispatches events until a terminate request; the loop's status.
    int Run();

    // Requests the end of the program: a quit queued to the event loop, so that a request made
    // before the loop runs (or from a handler that goes on working) is not lost.
    void Terminate();
    bool Terminated() const { return terminated_; }

    QWidget *MainForm() const { return mainForm_; }

    // The executable's file name without its extension.
    static QString Title();

    // Runs one event handler. A failure stops the handler and is shown by the standard error
    // report; it never travels on into Qt's event dispatch.
    void Guard(const std::function<void()> &handler);

    // The standard error report: a modal message box with the critical icon, the title as caption
    // and the message, with a full stop appended when it has none.
    void ShowException(const std::exception &failure);

private:
    void AdoptForm(std::unique_ptr<QWidget> form);

    // Receives the queued quit; pending requests die with it, never reaching a later loop.
    std::unique_ptr<QObject> quitTarget_;
    std::vector<std::unique_ptr<QWidget>> forms_;
    QPointer<QWidget> mainForm_;
    bool terminated_ = false;
};

// The one application object, or null when none exists.
extern TApplication *Application;
