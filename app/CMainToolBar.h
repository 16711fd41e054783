#pragma once

#include <QToolBar>

namespace morvik {

class CClassFilterCombo;

// The main window's toolbar: the command buttons, then the class filter box, which the main
// window hands to the parameter session as its class filter.
class CMainToolBar : public QToolBar {
    Q_OBJECT
public:
    explicit CMainToolBar(QWidget* parent = nullptr);
    ~CMainToolBar() override;

    CClassFilterCombo& classFilter() const { return *classFilter_; }
    // Places the class filter box after the buttons already added.
    void addClassFilter();

private:
    CClassFilterCombo* classFilter_;
};

} // namespace morvik
