#pragma once

#include "windowkit/persistentwindow.h"

#include <QDate>
#include <QTime>

class QCheckBox;
class QComboBox;
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
    // The repeat rule as the list file keeps it (an iCalendar RRULE value); empty: no repeats.
    QString repeatRule;
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

public slots:
    // Refuses repeats that would end before they begin, and stays open for the user to mend.
    void accept() override;

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
    // Which repeats the editor writes: the choices of repeatCombo, in order, after "none".
    QString repeatRuleChosen() const;
    void showRepeatChoice();

    QComboBox *m_repeatCombo = nullptr;
    QWidget *m_weekdays = nullptr;
    QList<QCheckBox *> m_weekdayBoxes;
    QCheckBox *m_untilBox = nullptr;
    QDateEdit *m_untilEdit = nullptr;
    // A rule from elsewhere the choices cannot show: kept as it is while its item stays chosen.
    QString m_otherRule;
    QPushButton *m_okButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
};

} // namespace vellaro
