#include "document/CMorvikDoc.h"

#include "parameters/Dialogs.h"
#include "parameters/ParameterSession.h"
#include "parameters/SessionPorts.h"

#include <QFile>
#include <QFileDialog>

namespace morvik {

CMorvikDoc::CMorvikDoc(ParameterSession& session, UnitSelection& selection, Dialogs& dialogs,
                       QWidget* dialogParent, QObject* parent)
    : QObject(parent), session_(session), selection_(selection), dialogs_(dialogs),
      dialogParent_(dialogParent) {}

// Save proposes ".CNF" and a user may type ".cnf"; GTK's chooser matches patterns with their
// case, so both are named.
QString CMorvikDoc::fileFilter() {
    return QStringLiteral("Configuration File(.CNF) (*.cnf *.CNF)");
}

// A name with a point anywhere in its path gets no extension, so a saved file may end in
// anything: the second filter still finds it.
QStringList CMorvikDoc::loadFilters() {
    return {fileFilter(), QStringLiteral("All files (*)")};
}

QString CMorvikDoc::withDefaultExtension(const QString& path) {
    return path.contains(QLatin1Char('.')) ? path : path + QStringLiteral(".CNF");
}

bool CMorvikDoc::openDocument(const QString& path) {
    session_.loadConfiguration(QFile::encodeName(path).toStdString());
    return false;
}

bool CMorvikDoc::saveDocument(const QString& path) {
    return session_.saveConfiguration(QFile::encodeName(path).toStdString());
}

void CMorvikDoc::onLoad() {
    QFileDialog dialog(dialogParent_, QStringLiteral("Load"));
    dialog.setNameFilters(loadFilters());
    dialog.setObjectName(QStringLiteral("LoadDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    openDocument(dialog.selectedFiles().constFirst());
}

void CMorvikDoc::onSave() {
    const auto units = selection_.selectedUnits();
    if (units.empty()) {
        dialogs_.showMessage("No Selected Data!!", "Error");
        return;
    }
    QFileDialog dialog(dialogParent_, QStringLiteral("Save"), QString(), fileFilter());
    dialog.setObjectName(QStringLiteral("SaveDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.selectFile(QString::fromLatin1(units.front().name));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    saveDocument(withDefaultExtension(dialog.selectedFiles().constFirst()));
}

void CMorvikDoc::onClear() {
    // Every stored login goes at once, and nothing brings them back: ask first.
    if (!dialogs_.confirm("Clear Confirm", "You are to clear every stored login ID and password !",
                          "The values shown are cleared too. ",
                          "Do you want to clear them now? ")) {
        return;
    }
    session_.clearCredentials();
}

} // namespace morvik
