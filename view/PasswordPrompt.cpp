#include "view/PasswordPrompt.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace morvik {

PasswordPrompt::PasswordPrompt(const QString& label, QWidget* parent, const QString& hint)
    : QDialog(parent), unitLabel_(new QLabel(this)), loginId_(new QLineEdit(this)),
      password_(new QLineEdit(this)) {
    setWindowTitle(QStringLiteral("Enter Device Password"));
    setModal(true);

    auto* fixedText =
        new QLabel(QStringLiteral("Incorrect password or unknown ID for the device :"), this);
    fixedText->setTextFormat(Qt::PlainText);
    unitLabel_->setTextFormat(Qt::PlainText);
    unitLabel_->setText(label);
    password_->setEchoMode(QLineEdit::Password);
    loginId_->setObjectName(QStringLiteral("connectAs"));
    password_->setObjectName(QStringLiteral("password"));

    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("Connect As:"), loginId_);
    fields->addRow(QStringLiteral("Password:"), password_);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(fixedText);
    layout->addWidget(unitLabel_);
    layout->addLayout(fields);
    if (!hint.isEmpty()) {
        auto* hintText = new QLabel(hint, this);
        hintText->setObjectName(QStringLiteral("hint"));
        hintText->setTextFormat(Qt::PlainText);
        hintText->setWordWrap(true);
        hintText->setTextInteractionFlags(Qt::TextSelectableByMouse);
        layout->addWidget(hintText);
    }
    layout->addWidget(buttons);
    loginId_->setFocus();
}

std::optional<Credentials> PasswordPrompt::ask(const QString& label, QWidget* parent,
                                               const QString& hint) {
    PasswordPrompt prompt(label, parent, hint);
    if (prompt.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    // Logins travel as 8-bit characters, one byte each.
    return Credentials{prompt.loginId_->text().toLatin1().toStdString(),
                       prompt.password_->text().toLatin1().toStdString()};
}

} // namespace morvik
