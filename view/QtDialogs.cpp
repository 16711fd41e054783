#include "view/QtDialogs.h"

#include "view/ConfirmDialog.h"
#include "view/PasswordPrompt.h"

#include <QMessageBox>

namespace morvik {
namespace {

// Texts reach the units and the files as 8-bit characters, one byte each, as the device list
// shows them.
QString toQString(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

void QtDialogs::showMessage(std::string_view text, std::string_view caption) {
    QMessageBox box(QMessageBox::Warning, toQString(caption), toQString(text), QMessageBox::Ok,
                    parent_);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

bool QtDialogs::confirm(std::string_view caption, std::string_view line1, std::string_view line2,
                        std::string_view line3) {
    return ConfirmDialog::ask(toQString(caption), toQString(line1), toQString(line2),
                              toQString(line3), parent_);
}

bool QtDialogs::confirmIdentityLoad(std::string_view line1, std::string_view line2,
                                    std::string_view line3) {
    return ConfirmDialog::ask(QStringLiteral("Load Confirm"), toQString(line1), toQString(line2),
                              toQString(line3), parent_, ConfirmDialog::Default::No);
}

std::optional<Credentials> QtDialogs::promptCredentials(std::string_view label) {
    return PasswordPrompt::ask(toQString(label), parent_, promptHint_ ? promptHint_() : QString());
}

} // namespace morvik
