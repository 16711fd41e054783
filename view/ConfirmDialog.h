#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace morvik {

// The small Yes/No question that Set and Reboot ask: an icon and three lines of text under
// the caller's caption. Yes is the default unless the caller prefers No; Enter presses the
// button that has the focus; Escape and closing the dialog any other way mean No.
class ConfirmDialog : public QDialog {
    Q_OBJECT
public:
    // The answer that Enter gives before the focus moves: a question whose Yes loses data
    // defaults to No.
    enum class Default { Yes, No };

    ConfirmDialog(const QString& caption, const QString& line1, const QString& line2,
                  const QString& line3, QWidget* parent = nullptr);

    // Shows the dialog modally; true for Yes.
    static bool ask(const QString& caption, const QString& line1, const QString& line2,
                    const QString& line3, QWidget* parent = nullptr,
                    Default preferred = Default::Yes);

    void makeNoTheDefault();

    QLabel* line(int number) const;
    QPushButton* yesButton() const { return yes_; }
    QPushButton* noButton() const { return no_; }

private:
    QLabel* lines_[3];
    QPushButton* yes_;
    QPushButton* no_;
};

} // namespace morvik
