#include "app/CMainToolBar.h"

#include "app/CClassFilterCombo.h"

namespace morvik {
namespace {
CMainToolBar* theToolBar = nullptr;
} // namespace

CMainToolBar::CMainToolBar(QWidget* parent)
    : QToolBar(QStringLiteral("Toolbar"), parent), classFilter_(new CClassFilterCombo(this)) {
    theToolBar = this;
    setObjectName(QStringLiteral("mainToolBar"));
    setIconSize(QSize(16, 16));
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    setMovable(true);
    setFloatable(true);
    setAllowedAreas(Qt::AllToolBarAreas);
}

CMainToolBar::~CMainToolBar() {
    if (theToolBar == this) {
        theToolBar = nullptr;
    }
}

CMainToolBar* CMainToolBar::instance() {
    return theToolBar;
}

void CMainToolBar::addClassFilter() {
    addWidget(classFilter_);
}

} // namespace morvik
