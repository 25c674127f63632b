#pragma once

#include "baseform.h"

class QDateEdit;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimeEdit;

namespace vellaro {

// The dialog that adds and edits a reminder. It only holds the four inputs; the main window
// fills it before and reads it after each modal run. The date and time pickers keep the values
// of the last use.
class TForm3 final : public TBaseForm
{
    Q_OBJECT

public:
    explicit TForm3(FormContext &context, QWidget *parent = nullptr);

    // Empties the name and the notes; the pickers are left alone.
    void Clear();
    // Shows dates and times in the current regional settings.
    void applyFormats();

    QFrame *Panel1 = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *Label4 = nullptr;
    QLineEdit *EditName = nullptr;
    QLineEdit *EditNotes = nullptr;
    QDateEdit *DateTime = nullptr;
    QTimeEdit *TimeInput = nullptr;
    QPushButton *BitBtn1 = nullptr;
    QPushButton *BitBtn2 = nullptr;

protected:
    void FormCreate() override;
    void keyPressEvent(QKeyEvent *event) override;
};

} // namespace vellaro
