// The yardstick for the program's start-up: a Qt Widgets program that shows one empty main
// window, timed to its first paint the same way.
#include "app/FirstPaintTiming.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QMainWindow window;
    window.resize(870, 560);
    morvik::FirstPaintTiming::watch(window);
    window.show();
    return QApplication::exec();
}
