#include "app/CMorvikApp.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    morvik::CMorvikApp app;
    if (!app.initInstance()) {
        return 1;
    }
    return QApplication::exec();
}
