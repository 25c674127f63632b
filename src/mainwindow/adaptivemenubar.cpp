#include "mainwindow/adaptivemenubar.h"

#include "platform/sound.h"
#include "windowkit/guard.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QProxyStyle>
#include <QStatusTipEvent>
#include <QStyleOption>
#include <QTimer>

#include <algorithm>

namespace vellaro {

namespace {

// The look of the bar and its menus, in pixels.
constexpr int kBarHeight = 24;
constexpr int kBarItemHeight = 22;
constexpr int kBarItemPadding = 7;
constexpr int kPictureColumn = 25;
constexpr int kTextLeft = kPictureColumn + 8;
constexpr int kTextRight = 24;
constexpr int kEntryHeight = 22;
constexpr int kSeparatorHeight = 7;
constexpr int kSeparatorLeft = 32;
constexpr int kExpandRowHeight = 16;
constexpr int kMenuFrame = 2;

const QColor kHighlightFill(198, 211, 239);
const QColor kHighlightFrame(49, 105, 198);
const QColor kFrameColour(138, 134, 122);

// The bar's entries are as tall as the design's or as the desktop font needs, if more.
int barItemHeight(const QFontMetrics &metrics)
{
    return std::max(kBarItemHeight, metrics.height() + 6);
}

int barHeight(const QFontMetrics &metrics)
{
    return barItemHeight(metrics) + (kBarHeight - kBarItemHeight);
}

// Menus are white whatever the desktop's colours; a light text colour would vanish on them.
QColor textOnWhite(const QPalette &palette)
{
    const QColor text = palette.color(QPalette::Active, QPalette::Text);
    return text.lightness() > 160 ? QColor(Qt::black) : text;
}

QColor greyText(const QPalette &palette)
{
    return palette.color(QPalette::Disabled, QPalette::Text);
}

// Sizes and metrics of the bar and its menus; the drawing itself is done by the widgets, which
// know which entries are in use.
class MenuLookStyle final : public QProxyStyle
{
public:
    int pixelMetric(PixelMetric metric, const QStyleOption *option,
                    const QWidget *widget) const override
    {
        switch (metric) {
        case PM_MenuPanelWidth:
            return kMenuFrame;
        case PM_MenuHMargin:
        case PM_MenuVMargin:
        case PM_MenuBarPanelWidth:
        case PM_MenuBarItemSpacing:
        case PM_MenuTearoffHeight:
            return 0;
        case PM_MenuBarVMargin:
            return (kBarHeight - kBarItemHeight) / 2;
        case PM_MenuBarHMargin:
            return 2;
        case PM_SmallIconSize:
            return 16;
        default:
            return QProxyStyle::pixelMetric(metric, option, widget);
        }
    }

    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override
    {
        switch (hint) {
        case SH_UnderlineShortcut:
            return 1;
        case SH_Menu_FadeOutOnHide:
        case SH_Menu_KeyboardSearch:
        case SH_Menu_AllowActiveAndDisabled:
            return 0;
        default:
            return QProxyStyle::styleHint(hint, option, widget, returnData);
        }
    }

    QSize sizeFromContents(ContentsType type, const QStyleOption *option, const QSize &size,
                           const QWidget *widget) const override
    {
        if (type == CT_MenuItem) {
            if (const auto *item = qstyleoption_cast<const QStyleOptionMenuItem *>(option)) {
                if (item->menuItemType == QStyleOptionMenuItem::Separator)
                    return {kTextLeft, kSeparatorHeight};
                // The expand row is the only entry without a caption.
                if (item->text.isEmpty())
                    return {kTextLeft, kExpandRowHeight};
                const QString label = item->text.section(u'\t', 0, 0);
                const QString shortcut = item->text.section(u'\t', 1);
                int width = kTextLeft +
                            item->fontMetrics.size(Qt::TextShowMnemonic, label).width() +
                            kTextRight;
                if (!shortcut.isEmpty())
                    width += item->fontMetrics.horizontalAdvance(shortcut) + 16;
                return {width, std::max(kEntryHeight, item->fontMetrics.height() + 6)};
            }
        }
        if (type == CT_MenuBarItem) {
            if (const auto *item = qstyleoption_cast<const QStyleOptionMenuItem *>(option)) {
                const int text = item->fontMetrics.size(Qt::TextShowMnemonic, item->text).width();
                return {text + 2 * kBarItemPadding, barItemHeight(item->fontMetrics)};
            }
        }
        return QProxyStyle::sizeFromContents(type, option, size, widget);
    }
};

void sendHint(QWidget *target, const QString &hint)
{
    QStatusTipEvent tip(hint);
    QCoreApplication::sendEvent(target, &tip);
}

void copyCommand(QAction *entry, const QAction *command, const QString &ownCaption)
{
    entry->setText(ownCaption.isEmpty() ? command->text() : ownCaption);
    entry->setIcon(command->icon());
    entry->setStatusTip(command->statusTip());
    entry->setEnabled(command->isEnabled());
}

} // namespace

// ---- AdaptiveMenu --------------------------------------------------------------------------

AdaptiveMenu::AdaptiveMenu(AdaptiveMenuBar *bar, int index, const QString &title)
    : QMenu(title, bar), m_bar(bar), m_index(index)
{
    m_expandRow = new QAction(this);
    setObjectName(QStringLiteral("menuBarMenu%1").arg(index));
    setStyle(bar->style());
    setFont(bar->font());
    setWindowFlag(Qt::NoDropShadowWindowHint);
    m_expandRow->setObjectName(QStringLiteral("ExpandRow"));
    m_expandRow->setStatusTip(QStringLiteral("Expand"));
    m_expandRow->setVisible(false);
    addAction(m_expandRow);
}

void AdaptiveMenu::addEntry(QAction *entry)
{
    insertAction(m_expandRow, entry);
    m_entries.push_back(entry);
}

void AdaptiveMenu::showCollapsed(const CollapsedView &view)
{
    for (std::size_t i = 0; i < m_entries.size(); ++i)
        m_entries[i]->setVisible(i < view.shown.size() && view.shown[i]);
    m_collapsed = view.expandRow;
    m_rowRaised = false;
    m_expandRow->setVisible(view.expandRow);
}

void AdaptiveMenu::showAll()
{
    m_collapsed = false;
    m_rowRaised = false;
    for (QAction *entry : m_entries)
        entry->setVisible(true);
    m_expandRow->setVisible(false);
}

void AdaptiveMenu::raiseExpandRow()
{
    m_rowRaised = true;
    update();
}

QAction *AdaptiveMenu::firstVisibleEntry() const
{
    const auto it = std::find_if(m_entries.begin(), m_entries.end(),
                                 [](QAction *a) { return a->isVisible() && !a->isSeparator(); });
    return it == m_entries.end() ? nullptr : *it;
}

QAction *AdaptiveMenu::lastVisibleEntry() const
{
    const auto it = std::find_if(m_entries.rbegin(), m_entries.rend(),
                                 [](QAction *a) { return a->isVisible() && !a->isSeparator(); });
    return it == m_entries.rend() ? nullptr : *it;
}

bool AdaptiveMenu::event(QEvent *event)
{
    const bool result = QMenu::event(event);
    noticeHighlight();
    return result;
}

// Every way the highlight can move (mouse, keys, the menu closing) passes through event().
void AdaptiveMenu::noticeHighlight()
{
    QAction *now = isVisible() ? activeAction() : nullptr;
    if (now == m_highlight)
        return;
    m_highlight = now;
    if (m_bar)
        m_bar->highlightMoved(this, now);
}

void AdaptiveMenu::keyPressEvent(QKeyEvent *event)
{
    const bool ctrl = event->modifiers().testFlag(Qt::ControlModifier);
    if (m_collapsed) {
        QAction *from = activeAction();
        if (event->key() == Qt::Key_Down && (ctrl || (from && from == lastVisibleEntry()))) {
            m_bar->expand(this);
            if (!ctrl) {
                // Down goes on to the entry under the one it left, now shown.
                const auto it = std::find(m_entries.begin(), m_entries.end(), from);
                const auto next = std::find_if(it + 1, m_entries.end(), [](QAction *a) {
                    return !a->isSeparator() && a->isEnabled();
                });
                if (next != m_entries.end())
                    setActiveAction(*next);
            }
            return;
        }
        const int key = event->key();
        if (from == m_expandRow &&
            (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space)) {
            m_bar->expand(this);
            return;
        }
    }

    // Only digits and Latin letters pick entries by their underlined letter; any other
    // character key, the Cyrillic ones included, selects nothing here.
    const Qt::KeyboardModifiers commandKeys =
        Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    if (event->text().size() == 1 && !(event->modifiers() & commandKeys)) {
        const QChar c = event->text().front();
        const bool latinOrDigit = c.unicode() < 128 && c.isLetterOrNumber();
        if (c.isPrint() && c != u' ' && !latinOrDigit) {
            event->accept();
            return;
        }
    }
    QMenu::keyPressEvent(event);
}

void AdaptiveMenu::mouseReleaseEvent(QMouseEvent *event)
{
    // A click on the expand row opens the menu up instead of running anything and closing it.
    if (m_collapsed && actionAt(event->position().toPoint()) == m_expandRow) {
        event->accept();
        m_bar->expand(this);
        return;
    }
    QMenu::mouseReleaseEvent(event);
}

bool AdaptiveMenu::entryInUse(QAction *action) const
{
    const auto it = std::find(m_entries.begin(), m_entries.end(), action);
    if (it == m_entries.end())
        return true;
    const int item = int(it - m_entries.begin());
    const MenuUsage &usage = m_bar->usage();
    if (!usage.isSeparator(m_index, item))
        return usage.isItemInUse(m_index, item);
    // A separator's column goes with the entries it separates.
    return (item > 0 && usage.isItemInUse(m_index, item - 1)) ||
           (item + 1 < usage.itemCount(m_index) && usage.isItemInUse(m_index, item + 1));
}

void AdaptiveMenu::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QColor face = m_bar->usedColumnColour();
    const QRect all = rect();
    p.fillRect(all, Qt::white);
    p.setPen(kFrameColour);
    p.drawRect(all.adjusted(0, 0, -1, -1));
    p.setPen(Qt::white);
    p.drawRect(all.adjusted(1, 1, -2, -2));

    // Under its open bar entry the menu has no top line, so the two read as one shape.
    if (QAction *own = menuAction(); m_bar->activeAction() == own) {
        const QRect item = m_bar->actionGeometry(own);
        const QPoint under = mapFromGlobal(m_bar->mapToGlobal(item.bottomLeft()));
        if (under.y() >= -1 && under.y() <= 0) {
            p.setPen(face);
            p.drawLine(under.x() + 1, 0, under.x() + item.width() - 2, 0);
        }
    }

    for (QAction *action : actions()) {
        if (!action->isVisible())
            continue;
        if (action == m_expandRow)
            paintExpandRow(p, actionGeometry(action), action == activeAction());
        else
            paintEntry(p, action, entryInUse(action) ? face : m_bar->unusedColumnColour());
    }
}

void AdaptiveMenu::paintEntry(QPainter &p, QAction *action, const QColor &column)
{
    const QRect r = actionGeometry(action);
    if (action->isSeparator()) {
        p.fillRect(QRect(r.left(), r.top(), kPictureColumn, r.height()), column);
        p.setPen(greyText(palette()));
        const int y = r.top() + r.height() / 2;
        p.drawLine(kSeparatorLeft, y, r.right(), y);
        return;
    }

    const bool highlighted = action == activeAction();
    if (highlighted) {
        p.fillRect(r, kHighlightFill);
        p.setPen(kHighlightFrame);
        p.drawRect(r.adjusted(0, 0, -1, -1));
    } else {
        p.fillRect(QRect(r.left(), r.top(), kPictureColumn, r.height()), column);
    }

    const QIcon::Mode mode = !action->isEnabled() ? QIcon::Disabled
                             : highlighted        ? QIcon::Active
                                                  : QIcon::Normal;
    const QPixmap picture = action->icon().pixmap(QSize(16, 16), devicePixelRatioF(), mode);
    if (!picture.isNull())
        p.drawPixmap(r.left() + (kPictureColumn - 16) / 2, r.top() + (r.height() - 16) / 2,
                     picture);

    p.setPen(action->isEnabled() ? textOnWhite(palette()) : greyText(palette()));
    const QRect textRect(r.left() + kTextLeft, r.top(), r.width() - kTextLeft - 4, r.height());
    const QString text = action->text();
    p.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic,
               text.section(u'\t', 0, 0));
    if (const QString shortcut = text.section(u'\t', 1); !shortcut.isEmpty())
        p.drawText(textRect.adjusted(0, 0, -kTextRight + 8, 0), Qt::AlignRight | Qt::AlignVCenter,
                   shortcut);
}

void AdaptiveMenu::paintExpandRow(QPainter &p, const QRect &r, bool highlighted)
{
    if (highlighted) {
        p.fillRect(r, kHighlightFill);
        p.setPen(kHighlightFrame);
        p.drawRect(r.adjusted(0, 0, -1, -1));
    } else if (m_rowRaised) {
        const QRect b = r.adjusted(1, 1, -2, -2);
        p.fillRect(b, m_bar->usedColumnColour());
        p.setPen(Qt::white);
        p.drawLine(b.topLeft(), b.topRight());
        p.drawLine(b.topLeft(), b.bottomLeft());
        p.setPen(kFrameColour);
        p.drawLine(b.bottomLeft(), b.bottomRight());
        p.drawLine(b.topRight(), b.bottomRight());
    }

    // A downward double arrow: two chevrons, two pixels thick, one under the other.
    p.setPen(textOnWhite(palette()));
    const int cx = r.left() + r.width() / 2;
    const int top = r.top() + (r.height() - 8) / 2;
    for (int chevron = 0; chevron < 2; ++chevron) {
        for (int row = 0; row < 2; ++row) {
            const int y = top + chevron * 4 + row;
            p.drawLine(cx - 3, y, cx, y + 3);
            p.drawLine(cx, y + 3, cx + 3, y);
        }
    }
}

// ---- AdaptiveMenuBar ------------------------------------------------------------------------

AdaptiveMenuBar::AdaptiveMenuBar(const MenuBarDefinition &stored,
                                 const QHash<QString, QAction *> &actions, Sound *sound,
                                 QWidget *parent)
    : QMenuBar(parent), m_usage(stored), m_sound(sound), m_expandTimer(new QTimer(this))
{
    setNativeMenuBar(false);
    auto *look = new MenuLookStyle;
    look->setParent(this);
    setStyle(look);
    // The desktop's font, as every window has it.
    setFixedHeight(barHeight(fontMetrics()));

    m_expandTimer->setSingleShot(true);
    connect(m_expandTimer, &QTimer::timeout, this,
            guardedSlot(this, &AdaptiveMenuBar::expandTimerTimeout));

    for (int m = 0; m < int(stored.menus.size()); ++m) {
        const MenuDefinition &definition = stored.menus[m];
        auto *menu = new AdaptiveMenu(this, m, definition.caption);
        m_menus.push_back(menu);
        addMenu(menu);
        for (int i = 0; i < int(definition.items.size()); ++i) {
            const MenuItemDefinition &item = definition.items[i];
            auto *entry = new QAction(menu);
            if (item.isSeparator()) {
                entry->setSeparator(true);
                entry->setObjectName(QStringLiteral("Separator%1_%2").arg(m).arg(i));
                menu->addEntry(entry);
                continue;
            }
            entry->setObjectName(item.action + QStringLiteral("Item"));
            const QPointer<QAction> command = actions.value(item.action);
            if (command) {
                copyCommand(entry, command, item.caption);
                connect(command, &QAction::changed, entry,
                        [entry, command, caption = item.caption] {
                            if (command)
                                copyCommand(entry, command, caption);
                        });
            } else {
                // A definition naming no command of the window is a programming slip; the
                // entry then shows its caption and runs nothing.
                entry->setText(item.caption);
                entry->setEnabled(false);
            }
            connect(entry, &QAction::triggered, this,
                    [this, m, i, command] { guarded([&] { runEntry(m, i, command); }); });
            menu->addEntry(entry);
        }
        connect(menu, &QMenu::aboutToShow, this,
                [this, menu] { guarded([&] { menuAboutToShow(menu); }); });
        connect(menu, &QMenu::aboutToHide, this,
                guardedSlot(this, &AdaptiveMenuBar::menuAboutToHide));
    }
}

AdaptiveMenuBar::~AdaptiveMenuBar()
{
    // The menus report their highlight to the bar until they are gone, so they go first.
    std::vector<AdaptiveMenu *> menus;
    menus.swap(m_menus);
    for (AdaptiveMenu *menu : menus)
        delete menu;
}

QColor AdaptiveMenuBar::usedColumnColour() const
{
    return palette().color(QPalette::Active, QPalette::Button);
}

QColor AdaptiveMenuBar::unusedColumnColour() const
{
    const QColor face = usedColumnColour();
    const RgbColour unused = unusedItemColour({face.red(), face.green(), face.blue()});
    return QColor(unused.red, unused.green, unused.blue);
}

AdaptiveMenu *AdaptiveMenuBar::openMenu() const
{
    const auto it = std::find_if(m_menus.begin(), m_menus.end(),
                                 [](AdaptiveMenu *m) { return m->isVisible(); });
    return it == m_menus.end() ? nullptr : *it;
}

void AdaptiveMenuBar::menuAboutToShow(AdaptiveMenu *menu)
{
    if (!m_visitActive) {
        // Entering the bar: menus open collapsed again and the highlight starts afresh.
        m_visitActive = true;
        m_visitExpanded = false;
        m_leftFirstEntry = false;
    }
    if (m_visitExpanded)
        menu->showAll();
    else
        menu->showCollapsed(m_usage.collapsedView(menu->index()));
    if (menu->isCollapsed())
        m_expandTimer->start(m_expandDelayMs);
    else
        m_expandTimer->stop();
}

void AdaptiveMenuBar::menuAboutToHide()
{
    m_expandTimer->stop();
    // Moving from one menu to the next hides one and shows the other; only when none follows
    // has the bar been left.
    QTimer::singleShot(0, this, guardedSlot(this, &AdaptiveMenuBar::checkVisitEnded));
}

void AdaptiveMenuBar::focusOutEvent(QFocusEvent *event)
{
    QMenuBar::focusOutEvent(event);
    if (event->reason() != Qt::PopupFocusReason)
        QTimer::singleShot(0, this, guardedSlot(this, &AdaptiveMenuBar::checkVisitEnded));
}

void AdaptiveMenuBar::checkVisitEnded()
{
    // Keyboard navigation of the bar keeps the focus on it between its menus.
    if (!openMenu() && !hasFocus())
        m_visitActive = false;
}

void AdaptiveMenuBar::highlightMoved(AdaptiveMenu *menu, QAction *action)
{
    sendHint(this, action ? action->statusTip() : QString());
    if (!action)
        return;
    if (action != menu->firstVisibleEntry())
        m_leftFirstEntry = true;
    if (menu->isCollapsed())
        m_expandTimer->start(m_expandDelayMs);
}

void AdaptiveMenuBar::expand(AdaptiveMenu *menu)
{
    if (!menu->isCollapsed())
        return;
    m_expandTimer->stop();
    m_visitExpanded = true;
    menu->showAll();
}

void AdaptiveMenuBar::expandTimerTimeout()
{
    AdaptiveMenu *menu = openMenu();
    if (!menu || !menu->isCollapsed())
        return;
    // Someone already moving through the menus is not interrupted by a menu growing under them.
    if (m_leftFirstEntry)
        menu->raiseExpandRow();
    else
        expand(menu);
}

void AdaptiveMenuBar::runEntry(int menu, int item, QAction *command)
{
    m_usage.recordExecution(menu, item);
    if (m_sound)
        m_sound->playEvent(QStringLiteral("menu-click"));
    if (command)
        command->trigger();
}

void AdaptiveMenuBar::changeEvent(QEvent *event)
{
    QMenuBar::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        setFixedHeight(barHeight(fontMetrics()));
}

void AdaptiveMenuBar::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QColor face = usedColumnColour();
    p.fillRect(rect(), face);
    p.setPen(palette().color(QPalette::Dark));
    p.drawLine(0, height() - 1, width() - 1, height() - 1);

    const QColor text = palette().color(QPalette::ButtonText);
    for (QAction *action : actions()) {
        if (!action->isVisible())
            continue;
        const QRect r = actionGeometry(action);
        if (!r.isValid())
            continue;
        const bool active = action == activeAction();
        const bool open = active && action->menu() && action->menu()->isVisible();
        if (open) {
            // Joined to the menu below it: no line along the bottom.
            p.fillRect(r, face);
            p.setPen(kFrameColour);
            p.drawLine(r.topLeft(), r.topRight());
            p.drawLine(r.topLeft(), r.bottomLeft());
            p.drawLine(r.topRight(), r.bottomRight());
        } else if (active) {
            p.fillRect(r, kHighlightFill);
            p.setPen(kHighlightFrame);
            p.drawRect(r.adjusted(0, 0, -1, -1));
        }
        p.setPen(action->isEnabled() ? (active && !open ? textOnWhite(palette()) : text)
                                     : greyText(palette()));
        p.drawText(r, Qt::AlignCenter | Qt::TextShowMnemonic, action->text());
    }
}

} // namespace vellaro
