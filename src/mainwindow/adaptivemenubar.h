#pragma once

#include "core/menuusage.h"

#include <QHash>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>

#include <vector>

class QTimer;

namespace vellaro {

class Sound;
class AdaptiveMenuBar;

// One menu of the bar. Its entries are the bar's own items for the window's commands, so hiding
// an entry here never hides the command in the context or tray menu.
class AdaptiveMenu final : public QMenu
{
    Q_OBJECT

public:
    AdaptiveMenu(AdaptiveMenuBar *bar, int index, const QString &title);

    int index() const { return m_index; }
    // The entries in their order, separators included; the expand row is not one of them.
    const std::vector<QAction *> &entries() const { return m_entries; }
    QAction *expandRow() const { return m_expandRow; }
    // Some entries are hidden and the expand row shows.
    bool isCollapsed() const { return m_collapsed; }
    // The wait passed while expanding by itself was ruled out: the row only looks raised.
    bool isExpandRowRaised() const { return m_rowRaised; }

    void addEntry(QAction *entry);
    // Shows what the usage allows (collapsed) or everything.
    void showCollapsed(const CollapsedView &view);
    void showAll();
    void raiseExpandRow();

    QAction *firstVisibleEntry() const;
    QAction *lastVisibleEntry() const;

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void noticeHighlight();
    void paintEntry(QPainter &p, QAction *action, const QColor &column);
    void paintExpandRow(QPainter &p, const QRect &rect, bool highlighted);
    bool entryInUse(QAction *action) const;

    AdaptiveMenuBar *m_bar;
    int m_index;
    std::vector<QAction *> m_entries;
    QAction *m_expandRow = nullptr;
    bool m_collapsed = false;
    bool m_rowRaised = false;
    QPointer<QAction> m_highlight;
};

// The main window's menu bar. It shortens its menus to the entries in use in this run: a menu
// opens with the commands used lately and an expand row, and shows the rest when the row is
// clicked, on Down past the last entry or Ctrl+Down, or by itself after a short rest. Once a
// menu has been expanded, every menu opened before the bar is left opens whole. Only commands
// run from the bar count as used; the count starts over with every run.
class AdaptiveMenuBar final : public QMenuBar
{
    Q_OBJECT

public:
    static constexpr int kDefaultExpandDelayMs = 4000;

    // The commands are looked up by the names the definition uses; sound may be null.
    AdaptiveMenuBar(const MenuBarDefinition &stored, const QHash<QString, QAction *> &actions,
                    Sound *sound, QWidget *parent = nullptr);
    ~AdaptiveMenuBar() override;

    const MenuUsage &usage() const { return m_usage; }
    int menuCount() const { return int(m_menus.size()); }
    AdaptiveMenu *popupMenu(int index) const { return m_menus.at(index); }

    int expandDelay() const { return m_expandDelayMs; }
    void setExpandDelay(int ms) { m_expandDelayMs = ms; }
    // Within the current visit a menu has been expanded.
    bool isVisitExpanded() const { return m_visitExpanded; }

    // The picture column's colour of entries in use and of those not in use.
    QColor usedColumnColour() const;
    QColor unusedColumnColour() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    friend class AdaptiveMenu;

    void menuAboutToShow(AdaptiveMenu *menu);
    void menuAboutToHide();
    void highlightMoved(AdaptiveMenu *menu, QAction *action);
    void expand(AdaptiveMenu *menu);
    void expandTimerTimeout();
    void runEntry(int menu, int item, QAction *command);
    void checkVisitEnded();
    AdaptiveMenu *openMenu() const;

    MenuUsage m_usage;
    Sound *m_sound;
    std::vector<AdaptiveMenu *> m_menus;
    QTimer *m_expandTimer;
    int m_expandDelayMs = kDefaultExpandDelayMs;
    bool m_visitActive = false;
    bool m_visitExpanded = false;
    bool m_leftFirstEntry = false;
};

} // namespace vellaro
