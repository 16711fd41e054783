#pragma once

#include "parameters/Dialogs.h"

#include <QDialog>
#include <optional>

class QLabel;
class QLineEdit;

namespace morvik {

// Asks for a unit's login when the credential log does not know it or the unit refused it.
// OK takes both fields (an empty password included); Cancel gives nothing.
class PasswordPrompt : public QDialog {
    Q_OBJECT
public:
    explicit PasswordPrompt(const QString& label, QWidget* parent = nullptr,
                            const QString& hint = {});

    // `hint`, when there is one, is shown under the fields (where the demo's logins are).
    static std::optional<Credentials> ask(const QString& label, QWidget* parent = nullptr,
                                          const QString& hint = {});

    QLabel* unitLabel() const { return unitLabel_; }
    QLineEdit* loginIdField() const { return loginId_; }
    QLineEdit* passwordField() const { return password_; }

private:
    QLabel* unitLabel_;
    QLineEdit* loginId_;
    QLineEdit* password_;
};

} // namespace morvik
