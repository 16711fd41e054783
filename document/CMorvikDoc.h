#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

namespace morvik {

class Dialogs;
class ParameterSession;
class UnitSelection;

// The document holds no data: it carries Load, Save and Clear to the parameter pane's session.
class CMorvikDoc final : public QObject {
    Q_OBJECT
public:
    CMorvikDoc(ParameterSession& session, UnitSelection& selection, Dialogs& dialogs,
               QWidget* dialogParent, QObject* parent = nullptr);

    // The configuration files' filter of both dialogs; Load offers every file besides.
    static QString fileFilter();
    static QStringList loadFilters();
    // ".CNF" appended to a path that has no "." anywhere, folders included.
    static QString withDefaultExtension(const QString& path);

    // Loads the values of a configuration file into the list. A document is never opened by
    // it: the title and the recent files stay as they are, so it always answers false.
    bool openDocument(const QString& path);
    bool saveDocument(const QString& path);

public slots:
    void onLoad();  // Ctrl+L
    void onSave();  // Ctrl+S
    void onClear(); // empties the credential log and every value cell

private:
    ParameterSession& session_;
    UnitSelection& selection_;
    Dialogs& dialogs_;
    QPointer<QWidget> dialogParent_;
};

} // namespace morvik
