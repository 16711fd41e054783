#include "app/CMainToolBar.h"

#include "app/CClassFilterCombo.h"

namespace morvik {

CMainToolBar::CMainToolBar(QWidget* parent)
    : QToolBar(QStringLiteral("Toolbar"), parent), classFilter_(new CClassFilterCombo(this)) {
    setObjectName(QStringLiteral("mainToolBar"));
    setIconSize(QSize(16, 16));
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    setMovable(true);
    setFloatable(true);
    setAllowedAreas(Qt::AllToolBarAreas);
}

CMainToolBar::~CMainToolBar() = default;

void CMainToolBar::addClassFilter() {
    addWidget(classFilter_);
}

} // namespace morvik
