#pragma once

#include "windowkit/persistentwindow.h"

#include <QDate>
#include <QTime>

class QDateEdit;
class QFrame;
class QLineEdit;
class QPushButton;
class QTimeEdit;

namespace vellaro {

// What the editor holds: the reminder as the user typed and picked it.
struct ReminderDraft
{
    QString name;
    QDate date;
    QTime time;
    QString notes;
};

// The dialog that adds and edits a reminder. It only holds the four inputs; the main window
// fills it before and reads it after each modal run. The date and time pickers keep the values
// of the last use. Each run starts in the name field.
class ReminderEditor final : public PersistentWindow
{
    Q_OBJECT

public:
    static WindowDesign design();
    ReminderEditor(AppContext &context, WindowSettings &settings, QWidget *parent = nullptr);

    // Empties the name and the notes; the pickers are left alone.
    void clearTexts();
    // Shows dates and times in the current regional settings.
    void applyFormats();

    ReminderDraft draft() const;
    void setDraft(const ReminderDraft &draft);

protected:
    void prepare() override;
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QFrame *m_panel = nullptr;
    QLineEdit *m_nameEdit = nullptr;
    QLineEdit *m_notesEdit = nullptr;
    QDateEdit *m_dateEdit = nullptr;
    QTimeEdit *m_timeEdit = nullptr;
    QPushButton *m_okButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
};

} // namespace vellaro
