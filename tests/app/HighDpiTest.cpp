// The program at twice the scale on a 1400 x 900 screen (see this folder's CMakeLists.txt):
// the first window fits, the choice pop-up opens under its cell, the images are drawn at the
// screen's density.

#include "app/AppFixture.h"
#include "controls/CChoicePopupMenu.h"
#include "controls/CCreditsWindow.h"
#include "controls/CParamListCtrl.h"
#include "controls/CRollingTextCtrl.h"

#include <QDirIterator>
#include <QIcon>
#include <QScreen>
#include <QTimer>

namespace morvik::testing {
namespace {

using Column = ParameterTable::Column;

class HighDpi : public AppFixture {
protected:
    void SetUp() override {
        ASSERT_DOUBLE_EQ(QGuiApplication::primaryScreen()->devicePixelRatio(), 2.0)
            << "run by ctest, which asks for the doubled screen";
        startApp();
    }
};

TEST_F(HighDpi, TheFirstWindowFitsTheScreen) {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(screen.size(), QSize(700, 450));
    EXPECT_TRUE(screen.contains(frame()->frameGeometry()))
        << frame()->frameGeometry().width() << "x" << frame()->frameGeometry().height();
}

TEST_F(HighDpi, ThePopUpOpensUnderItsCell) {
    probeAll();
    clickRow(tree().topLevelItem(0));
    ParameterTable& table = view().table();
    ASSERT_TRUE(waitUntil([&] {
        for (int line = 0; line < table.lineCount(); ++line) {
            if (table.description().enumeration(table.parameterOfLine(line)).count() > 0 &&
                !table.text(line, Column::ValueColumn).empty()) {
                return true;
            }
        }
        return false;
    }));
    int line = 0;
    while (table.description().enumeration(table.parameterOfLine(line)).count() == 0) {
        ++line;
    }
    CParamListCtrl& list = view().parameterList();
    list.scrollTo(list.model()->index(line, 0));
    list.setCurrentIndex(list.model()->index(line, Column::ValueColumn));
    list.setFocus();
    QPoint opened(-1, -1);
    QSize openedSize;
    auto connection =
        QObject::connect(&list, &CParamListCtrl::choicePopupOpened, [&](CChoicePopupMenu* menu) {
            QTimer::singleShot(0, [&, menu] {
                ASSERT_NE(menu->window(), nullptr);
                opened = menu->window()->pos();
                openedSize = menu->window()->size();
                menu->window()->close();
            });
        });
    // MORVIK_KEEP_SCREENSHOTS=DIR keeps the window as the test saw it, for a person to look at.
    if (const char* keep = std::getenv("MORVIK_KEEP_SCREENSHOTS")) {
        frame()->grab().save(QString::fromUtf8(keep) + "/window-2x.png");
    }
    QTest::keyClick(&list, Qt::Key_F2);
    QObject::disconnect(connection);
    const QRect row = list.rowBounds(line);
    const QPoint underCell =
        list.viewport()->mapToGlobal(QPoint(row.left() + list.columnWidth(Column::ClassColumn) +
                                                list.columnWidth(Column::ParameterColumn),
                                            row.bottom() + 1));
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    // Under the cell, unless the screen ends first: then it moves up or left just enough.
    if (underCell.y() + openedSize.height() <= screen.bottom() + 1) {
        EXPECT_EQ(opened.y(), underCell.y());
    } else {
        EXPECT_EQ(opened.y() + openedSize.height(), screen.bottom() + 1);
    }
    if (underCell.x() + openedSize.width() <= screen.right() + 1) {
        EXPECT_EQ(opened.x(), underCell.x());
    } else {
        EXPECT_EQ(opened.x() + openedSize.width(), screen.right() + 1);
    }
}

TEST_F(HighDpi, ImagesAreDrawnAtTheScreensDensity) {
    // Every compiled-in icon has a drawing at twice its size, each pixel a sharp 2 x 2 block.
    int icons = 0;
    for (QDirIterator it(QStringLiteral(":/icons")); it.hasNext();) {
        const QString path = it.next();
        if (path.contains(QLatin1Char('@'))) {
            continue;
        }
        ++icons;
        const QImage plain(path);
        const QImage sharp =
            QIcon(path).pixmap(plain.size(), 2.0).toImage().convertToFormat(plain.format());
        ASSERT_EQ(sharp.size(), plain.size() * 2) << path.toStdString();
        EXPECT_EQ(sharp.scaled(plain.size()), plain) << path.toStdString();
    }
    EXPECT_GE(icons, 13);

    // The credits draw their rolling picture at the same density.
    CCreditsWindow credits(frame());
    credits.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&credits));
    QTest::qWait(50);
    const QPixmap& picture = credits.rollingText().picture();
    EXPECT_DOUBLE_EQ(picture.devicePixelRatio(), 2.0);
    EXPECT_EQ(picture.size(), credits.rollingText().size() * 2);
}

} // namespace
} // namespace morvik::testing
