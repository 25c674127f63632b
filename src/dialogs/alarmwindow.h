#pragma once

#include "windowkit/persistentwindow.h"

class QComboBox;
class QLabel;
class QPushButton;
class QScrollArea;

namespace vellaro {

class WrappingLabel;

// The alarm window: shows one reminder that fell due until the user closes it (its button, the
// space bar, Return or Enter; Esc does nothing) or snoozes it for the time chosen beside "Отложи",
// which closes it too. Centred on the desktop the first time it shows in a run, left where the
// user puts it afterwards. A long name and long notes are shown whole: the texts wrap, the window
// grows for them up to two thirds of the available screen, and notes longer than that scroll.
// The window may be resized; its buttons have a row of their own.
class AlarmWindow final : public PersistentWindow
{
    Q_OBJECT

public:
    static WindowDesign design();
    AlarmWindow(AppContext &context, WindowSettings &settings, QWidget *parent = nullptr);

    // What exec() returns when the alarm was snoozed; a close returns QDialog::Rejected.
    static constexpr int kSnoozed = 2;
    // Offered first until the user has snoozed an alarm.
    static constexpr int kFirstSnoozeMinutes = 10;
    // The times an alarm can be snoozed for, in minutes, in the order offered.
    static const QList<int> &snoozeChoices();

    void showReminder(const QString &dateText, const QString &name, const QString &timeText,
                      const QString &notes);
    // Offers this snooze time first; one that is not among the choices offers ten minutes.
    void offerSnooze(int minutes);
    // The snooze time chosen now, in minutes.
    int snoozeMinutes() const;
    // Closes the window as snoozed, for the time chosen.
    void snooze();

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // The accent colours of the texts, made readable on the palette's base colour.
    void applyColours();
    // Grows the window for the texts shown, within two thirds of the available screen.
    void fitToTexts();
    // The window's height never hides a line of the name.
    void keepNameWhole();

    QLabel *m_heading = nullptr;
    QLabel *m_rule = nullptr;
    QList<QLabel *> m_captions;
    QLabel *m_dateValue = nullptr;
    QLabel *m_timeValue = nullptr;
    WrappingLabel *m_nameValue = nullptr;
    WrappingLabel *m_notesValue = nullptr;
    QScrollArea *m_notesArea = nullptr;
    QPushButton *m_closeButton = nullptr;
    QPushButton *m_snoozeButton = nullptr;
    QComboBox *m_snoozeChoice = nullptr;
    QSize m_baseSize;
    QSize m_fittedSize;
    bool m_centred = false;
    bool m_pictureLoaded = false;
    bool m_fitting = false;
};

} // namespace vellaro
