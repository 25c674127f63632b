#pragma once

#include <QAction>
#include <QMenu>
#include <QPointer>

namespace vellaro {

// A menu item that can be marked as its menu's default: the choice a double-click on the
// menu's owner makes. A menu may mark several; the uppermost counts.
class TMenuItem final : public QAction
{
    Q_OBJECT

public:
    using QAction::QAction;

    bool Default() const { return m_default; }
    void setDefault(bool isDefault) { m_default = isDefault; }

private:
    bool m_default = false;
};

// A pop-up menu that knows whether it may open by itself on its owner's request, and which
// component opened it last.
class TPopupMenu final : public QMenu
{
    Q_OBJECT

public:
    explicit TPopupMenu(QWidget *parent = nullptr) : QMenu(parent)
    {
        // The default item is drawn in bold, like the default button of a dialog.
        connect(this, &QMenu::aboutToShow, this, [this] { setDefaultAction(DefaultItem()); });
    }

    bool AutoPopup() const { return m_autoPopup; }
    void setAutoPopup(bool autoPopup) { m_autoPopup = autoPopup; }

    QObject *PopupComponent() const { return m_popupComponent; }
    void setPopupComponent(QObject *component) { m_popupComponent = component; }

    // The uppermost top-level item marked as default; items of submenus do not count.
    TMenuItem *DefaultItem() const
    {
        TMenuItem *found = nullptr;
        const QList<QAction *> items = actions();
        for (auto it = items.crbegin(); it != items.crend(); ++it) {
            if (auto *item = qobject_cast<TMenuItem *>(*it); item && item->Default())
                found = item;
        }
        return found;
    }

private:
    bool m_autoPopup = true;
    QPointer<QObject> m_popupComponent;
};

} // namespace vellaro
