#include "Application.h"
#include "Unit1.h"

#include <QApplication>

int main(int argc, char *argv[]) {
    QApplication qtApplication(argc, argv);
    TApplication application;
    Application->Initialize();
    Application->CreateForm(Form1);
    return Application->Run();
}
