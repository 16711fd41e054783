// The yardstick for the program's start-up: a Qt Widgets program that shows one empty main
// window, timed to its first paint the same way. With "--with-menu" the window also has a menu
// bar with one menu: the smallest window that shows any text, and so has to start the font
// system, which the empty window never does.
#include "app/FirstPaintTiming.h"

#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <cstring>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QMainWindow window;
    if (argc > 1 && std::strcmp(argv[1], "--with-menu") == 0) {
        window.menuBar()->addMenu(QStringLiteral("&File"))->addAction(QStringLiteral("E&xit"));
    }
    window.resize(870, 560);
    morvik::FirstPaintTiming::watch(window);
    window.show();
    return QApplication::exec();
}
