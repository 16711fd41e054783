#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace morvik {

// The small Yes/No question that Set and Reboot ask: an icon and three lines of text under
// the caller's caption. Yes is the default; closing the dialog any other way means No.
class ConfirmDialog : public QDialog {
    Q_OBJECT
public:
    ConfirmDialog(const QString& caption, const QString& line1, const QString& line2,
                  const QString& line3, QWidget* parent = nullptr);

    // Shows the dialog modally; true for Yes.
    static bool ask(const QString& caption, const QString& line1, const QString& line2,
                    const QString& line3, QWidget* parent = nullptr);

    QLabel* line(int number) const;
    QPushButton* yesButton() const { return yes_; }
    QPushButton* noButton() const { return no_; }

private:
    QLabel* lines_[3];
    QPushButton* yes_;
    QPushButton* no_;
};

} // namespace morvik
