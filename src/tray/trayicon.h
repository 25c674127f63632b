#pragma once

#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>

class QMenu;
class QWidget;

namespace vellaro {

class TrayArea;

// The program's icon in the notification area and what it does with the main window: the window
// hides to the area when minimised while there is an area. A click on the icon asks for the
// window to be shown or hidden; a double-click then runs the menu's default item too, so the
// window ends as it was. The main window is handed over once it is built.
class TrayIcon final : public QObject
{
    Q_OBJECT

public:
    // The tip shows at most this many characters.
    static constexpr int kTipLength = 63;

    TrayIcon(TrayArea *area, QMenu *menu, const QIcon &icon, const QString &tip,
             QObject *parent = nullptr);
    ~TrayIcon() override;

    // Puts the icon into the area.
    void dock();
    // Whether the main window can stay hidden: only an icon in the area leads back to it.
    bool areaAvailable() const;

    void setMainWindow(QWidget *mainWindow);
    void showMainWindow();
    void hideMainWindow();

    // The first kTipLength characters; a pair of UTF-16 surrogates is never cut in two.
    static QString tipText(const QString &hint);

signals:
    void clicked();
    // The area went away: whatever hides in it must come back.
    void areaLost();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void onActivated(QSystemTrayIcon::ActivationReason reason);

    QPointer<QWidget> m_mainWindow;
    TrayArea *m_area;
    QPointer<QMenu> m_menu;
    QIcon m_icon;
    QString m_tip;
};

} // namespace vellaro
