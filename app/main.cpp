#include "Application.h"
#include "Unit1.h"

#include <QApplication>

int main(int argc, char *argv[]) {
    QApplication qtApplication(argc, argv);
    TApplication application;
    // A failure before the loop runs (the window cannot be built) is reported like any other,
    // and the program ends with a failure status.
    int status = 1;
    Application->Guard([&status] {
        Application->Initialize();
        Application->CreateForm(Form1);
        status = Application->Run();
    });
    return status;
}
