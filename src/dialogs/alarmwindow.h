#pragma once

#include "persistentwindow.h"

class QLabel;
class QPushButton;

namespace vellaro {

// The alarm window: shows one reminder that fell due until the user closes it. Centred on the
// desktop the first time it shows in a run, left where the user puts it afterwards.
class AlarmWindow final : public PersistentWindow
{
    Q_OBJECT

public:
    static WindowDesign design();
    AlarmWindow(AppContext &context, WindowSettings &settings, QWidget *parent = nullptr);

    void showReminder(const QString &dateText, const QString &name, const QString &timeText,
                      const QString &notes);

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QLabel *m_rule = nullptr;
    QLabel *m_dateValue = nullptr;
    QLabel *m_timeValue = nullptr;
    QLabel *m_nameValue = nullptr;
    QLabel *m_notesValue = nullptr;
    QPushButton *m_closeButton = nullptr;
    bool m_centred = false;
    bool m_pictureLoaded = false;
};

} // namespace vellaro
