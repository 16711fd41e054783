// GTK's file chooser matches name patterns with their case: the Load dialog's configuration
// filter must still list every name that Save gives a file by default or as typed.

#include "document/CMorvikDoc.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace morvik {
namespace {

TEST(LoadDialog, TheConfigurationFilterListsSavedNamesWithCaseSensitivePatterns) {
    const QString filter = CMorvikDoc::fileFilter();
    const QStringList patterns = filter.mid(filter.lastIndexOf('(') + 1).chopped(1).split(' ');
    for (const QString chosen : {"/d/vela1-dock", "/d/dock.cnf", "/d/dock.CNF"}) {
        const QString name = QFileInfo(CMorvikDoc::withDefaultExtension(chosen)).fileName();
        EXPECT_TRUE(std::any_of(patterns.begin(), patterns.end(), [&](const QString& pattern) {
            return QRegularExpression(QRegularExpression::wildcardToRegularExpression(pattern))
                .match(name)
                .hasMatch();
        })) << name.toStdString();
    }
    // Names saved without that extension (a point elsewhere in the path) are still offered.
    EXPECT_EQ(CMorvikDoc::loadFilters().value(1), QStringLiteral("All files (*)"));
}

} // namespace
} // namespace morvik
