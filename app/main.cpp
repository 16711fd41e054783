#include "app/CMorvikApp.h"
#include "app/InformationOptions.h"

#include <QApplication>
#include <iostream>

int main(int argc, char* argv[]) {
    if (const auto status = morvik::answerInformationOption(argc, argv, std::cout)) {
        return *status;
    }
    QApplication application(argc, argv);
    morvik::CMorvikApp app;
    if (!app.initInstance()) {
        return 1;
    }
    return QApplication::exec();
}
