// The Load dialog lists the files that Save writes, on platform themes whose file chooser
// matches name patterns with their case (GTK).

#include "document/CMorvikDoc.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <gtest/gtest.h>

namespace morvik {
namespace {

// The patterns of "Text (*.a *.b)", as the platform dialogs take them apart.
bool listedBy(const QString& filter, const QString& fileName) {
    const qsizetype open = filter.lastIndexOf(QLatin1Char('('));
    const QStringList patterns =
        filter.mid(open + 1).chopped(1).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    return std::any_of(patterns.begin(), patterns.end(), [&](const QString& pattern) {
        return QRegularExpression(QRegularExpression::wildcardToRegularExpression(pattern))
            .match(fileName)
            .hasMatch();
    });
}

TEST(LoadDialog, ListsEveryFileSaveWritesWithCaseSensitivePatterns) {
    struct Case {
        QString chosen; // as typed into the Save dialog
        bool configurationFilter;
    };
    const Case cases[] = {{"/d/vela1-dock", true},
                          {"/d/dock.cnf", true},
                          {"/d/dock.CNF", true},
                          {"/d/dock.Cnf", false},
                          {"/d/my.folder/dock", false}};
    const QStringList filters = CMorvikDoc::loadFilters();
    for (const Case& c : cases) {
        const QString name = QFileInfo(CMorvikDoc::withDefaultExtension(c.chosen)).fileName();
        SCOPED_TRACE(name.toStdString());
        EXPECT_EQ(listedBy(CMorvikDoc::fileFilter(), name), c.configurationFilter);
        EXPECT_TRUE(std::any_of(filters.begin(), filters.end(),
                                [&](const QString& filter) { return listedBy(filter, name); }));
    }
}

} // namespace
} // namespace morvik
