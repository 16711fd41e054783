#pragma once

#include <QToolBar>

namespace morvik {

class CClassFilterCombo;

// The main window's toolbar: the command buttons, then the class filter box. There is one for
// the whole program, so the description loader can reach the box without the main window.
class CMainToolBar : public QToolBar {
    Q_OBJECT
public:
    explicit CMainToolBar(QWidget* parent = nullptr);
    ~CMainToolBar() override;
    static CMainToolBar* instance();

    CClassFilterCombo& classFilter() const { return *classFilter_; }
    // Places the class filter box after the buttons already added.
    void addClassFilter();

private:
    CClassFilterCombo* classFilter_;
};

} // namespace morvik
