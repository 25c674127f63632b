#include "tray/trayicon.h"

#include "platform/trayarea.h"
#include "windowkit/guard.h"

#include <QAction>
#include <QEvent>
#include <QMenu>
#include <QWidget>
#include <QWindowStateChangeEvent>

namespace vellaro {

TrayIcon::TrayIcon(TrayArea *area, QMenu *menu, const QIcon &icon, const QString &tip,
                   QObject *parent)
    : QObject(parent), m_area(area), m_menu(menu), m_icon(icon), m_tip(tipText(tip))
{
    if (!m_area)
        return;
    connect(m_area, &TrayArea::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        guarded([&] { onActivated(reason); });
    });
    connect(m_area, &TrayArea::availabilityChanged, this, [this](bool available) {
        if (!available)
            emit areaLost();
    });
}

TrayIcon::~TrayIcon()
{
    if (m_area)
        m_area->hideIcon();
}

void TrayIcon::dock()
{
    if (m_area)
        m_area->showIcon(m_icon, m_tip, m_menu);
}

bool TrayIcon::areaAvailable() const
{
    return m_area && m_area->isAvailable();
}

QString TrayIcon::tipText(const QString &hint)
{
    QString tip;
    int characters = 0;
    for (qsizetype i = 0; i < hint.size() && characters < kTipLength; ++characters) {
        const bool pair =
            hint.at(i).isHighSurrogate() && i + 1 < hint.size() && hint.at(i + 1).isLowSurrogate();
        const qsizetype length = pair ? 2 : 1;
        tip += QStringView(hint).mid(i, length);
        i += length;
    }
    return tip;
}

void TrayIcon::setMainWindow(QWidget *mainWindow)
{
    if (m_mainWindow)
        m_mainWindow->removeEventFilter(this);
    m_mainWindow = mainWindow;
    if (m_mainWindow)
        m_mainWindow->installEventFilter(this);
}

void TrayIcon::showMainWindow()
{
    if (!m_mainWindow)
        return;
    const Qt::WindowStates state = m_mainWindow->windowState();
    if (state & Qt::WindowMinimized)
        m_mainWindow->setWindowState(state & ~Qt::WindowMinimized);
    m_mainWindow->show();
}

void TrayIcon::hideMainWindow()
{
    if (m_mainWindow)
        m_mainWindow->hide();
}

void TrayIcon::onActivated(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        emit clicked();
        break;
    case QSystemTrayIcon::DoubleClick:
        // The click that began the double-click has toggled the window already.
        if (m_menu && m_menu->defaultAction() && m_menu->defaultAction()->isEnabled())
            m_menu->defaultAction()->trigger();
        break;
    case QSystemTrayIcon::Context:     // the area opens the menu
    case QSystemTrayIcon::MiddleClick: // nothing to do
    case QSystemTrayIcon::Unknown:
        break;
    }
}

bool TrayIcon::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_mainWindow && event->type() == QEvent::WindowStateChange) {
        const auto *change = static_cast<QWindowStateChangeEvent *>(event);
        const bool minimizedNow = m_mainWindow->windowState() & Qt::WindowMinimized;
        const bool wasMinimized = change->oldState() & Qt::WindowMinimized;
        // Hiding into an area that is not there would leave the window unreachable: then the
        // window minimises as usual.
        if (minimizedNow && !wasMinimized && areaAvailable())
            guarded([this] {
                hideMainWindow();
                dock();
            });
    }
    return QObject::eventFilter(watched, event);
}

} // namespace vellaro
