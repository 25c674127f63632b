#include "mainwindow/mainwindow.h"

#include "core/menuusage.h"
#include "core/reminderlistmodel.h"
#include "mainwindow/adaptivemenubar.h"
#include "mainwindow/mainwindowhost.h"
#include "mainwindow/reminderview.h"
#include "resources/icons.h"
#include "windowkit/appexit.h"
#include "windowkit/guard.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QBrush>
#include <QCloseEvent>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>

namespace vellaro {

namespace {

void setTextIfChanged(QLabel *label, const QString &text)
{
    if (label->text() != text)
        label->setText(text);
}

void setWidthIfChanged(QLabel *label, int width)
{
    width = std::max(width, 0);
    if (label->minimumWidth() != width || label->maximumWidth() != width)
        label->setFixedWidth(width);
}

// The width a panel's text needs, with the room its frame and margins take.
int neededWidth(const QLabel *label)
{
    const QMargins m = label->contentsMargins();
    return label->fontMetrics().horizontalAdvance(label->text()) + m.left() + m.right() +
           2 * label->frameWidth() + 4;
}

} // namespace

WindowDesign MainWindow::design()
{
    return {QStringLiteral("Vellaro - Версия 2.0"), QRect(224, 190, 509, 344), false, true};
}

MainWindow::MainWindow(AppContext &context, WindowSettings &settings, MainWindowHost &core,
                       QWidget *parent)
    : PersistentMainWindow(context, settings, parent), m_core(core)
{
    setObjectName(QStringLiteral("MainWindow"));
    setWindowIcon(programIcon());

    m_addAction = makeAction("addAction", QStringLiteral("&Добавяне ..."),
                             QStringLiteral("Добавяне на нов запис"), 0);
    m_deleteAction = makeAction("deleteAction", QStringLiteral("&Изтриване"),
                                QStringLiteral("Изтриване на текущия запис"), 1);
    m_editAction = makeAction("editAction", QStringLiteral("&Редактиране ..."),
                              QStringLiteral("Редактиране на всички данни за текущия запис"), 5);
    m_exitAction = makeAction("exitAction", QStringLiteral("И&зход"),
                              QStringLiteral("Изход от програмата"), 2);
    m_transparencyAction =
        makeAction("transparencyAction", QStringLiteral("&Степен на прозрачност"),
                   QStringLiteral("Процент на прозрачност"), 7);
    m_aboutAction = makeAction("aboutAction", QStringLiteral("&About"),
                               QStringLiteral("Показване на информация за приложението"), 4);
    connect(m_addAction, &QAction::triggered, this,
            guardedSlot(&m_core, &MainWindowHost::addReminder));
    connect(m_deleteAction, &QAction::triggered, this,
            guardedSlot(this, &MainWindow::deleteSelectedReminder));
    connect(m_editAction, &QAction::triggered, this,
            guardedSlot(this, &MainWindow::editSelectedReminder));
    connect(m_exitAction, &QAction::triggered, this,
            guardedSlot(&m_core, &MainWindowHost::exitProgram));
    connect(m_aboutAction, &QAction::triggered, this,
            guardedSlot(&m_core, &MainWindowHost::showAbout));
    connect(m_transparencyAction, &QAction::triggered, this,
            guardedSlot(&m_core, &MainWindowHost::chooseTransparency));

    buildMenuBar();
    setMenuBar(m_menuBar);

    m_view = new ReminderView(this);
    m_view->setObjectName(QStringLiteral("reminderView"));
    m_view->setModel(core.model());
    setCentralWidget(m_view);
    // The commands that act on the selected row follow the selection as it changes.
    connect(m_view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            guardedSlot(this, &MainWindow::updateCommands));
    connect(core.model(), &QAbstractItemModel::modelReset, this,
            guardedSlot(this, &MainWindow::updateCommands));
    connect(core.model(), &QAbstractItemModel::layoutChanged, this,
            guardedSlot(this, &MainWindow::updateCommands));
    connect(core.model(), &QAbstractItemModel::rowsRemoved, this,
            guardedSlot(this, &MainWindow::updateCommands));
    connect(m_view->horizontalHeader(), &QHeaderView::sectionClicked, this,
            guardedSlot(this, &MainWindow::sortByColumn));
    // The date and time are as wide as their texts; the name and the notes share the rest.
    // The header sizes them when the list is replaced, not when rows come, go or change, so
    // they are sized again then, once for a burst of changes.
    QHeaderView *header = m_view->horizontalHeader();
    header->setResizeContentsPrecision(200);
    header->setSectionResizeMode(QHeaderView::Stretch);
    for (const int column : {1, 2, int(kRepeatColumn)})
        header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    m_columnFit = new QTimer(this);
    m_columnFit->setSingleShot(true);
    m_columnFit->setInterval(0);
    connect(m_columnFit, &QTimer::timeout, this,
            guardedSlot(this, &MainWindow::fitDateAndTimeColumns));
    const auto fitLater = qOverload<>(&QTimer::start);
    connect(core.model(), &QAbstractItemModel::rowsInserted, m_columnFit, fitLater);
    connect(core.model(), &QAbstractItemModel::rowsRemoved, m_columnFit, fitLater);
    connect(core.model(), &QAbstractItemModel::modelReset, m_columnFit, fitLater);
    connect(core.model(), &QAbstractItemModel::layoutChanged, m_columnFit, fitLater);
    connect(core.model(), &QAbstractItemModel::dataChanged, this,
            guardedSlot(this, &MainWindow::textsChanged));
    // Rows whose date or time the regional settings never produce can never sound: marked.
    core.model()->markRowsThatCannotFallDue(m_context.formats, unreadableRowIcon());
    // One-off rows whose moment has passed are drawn as the desktop draws what no longer acts.
    core.model()->drawPassedRowsWith(QBrush(palette().color(QPalette::Disabled, QPalette::Text)));
    connect(core.model(), &ReminderListModel::lookedMoved, m_view->viewport(),
            qOverload<>(&QWidget::update));
    connect(m_view, &ReminderView::customContextMenuRequested, this,
            guardedSlot(this, &MainWindow::showRowMenu));

    m_statusBar = new QStatusBar(this);
    m_statusBar->setObjectName(QStringLiteral("statusBar"));
    for (int i = 0; i < 3; ++i) {
        m_panels[i] = new QLabel(m_statusBar);
        m_panels[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        m_panels[i]->setTextFormat(Qt::PlainText);
    }
    // The hint panel takes what the other two leave; it must never widen the window itself.
    m_panels[0]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_panels[0]->setMinimumWidth(0);
    m_panels[0]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_statusBar->addWidget(m_panels[0], 1);
    m_statusBar->addWidget(m_panels[1]);
    m_statusBar->addWidget(m_panels[2]);
    setStatusBar(m_statusBar);

    buildRowMenu();

    // Qt has no idle signal; the dispatcher announces each time the loop is about to wait.
    if (auto *dispatcher = QAbstractEventDispatcher::instance())
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
                guardedSlot(this, &MainWindow::updateOnIdle));

    setFocusProxy(m_view);
    m_view->setFocus();
}

MainWindow::~MainWindow() = default;

QAction *MainWindow::makeAction(const char *name, const QString &caption, const QString &hint,
                                int image)
{
    auto *action = new QAction(commandIcon(image), caption, this);
    action->setObjectName(QString::fromLatin1(name));
    action->setStatusTip(hint);
    action->setToolTip(hint);
    return action;
}

void MainWindow::buildMenuBar()
{
    const QHash<QString, QAction *> commands{
        {QStringLiteral("addAction"), m_addAction},
        {QStringLiteral("deleteAction"), m_deleteAction},
        {QStringLiteral("exitAction"), m_exitAction},
        {QStringLiteral("editAction"), m_editAction},
        {QStringLiteral("transparencyAction"), m_transparencyAction},
        {QStringLiteral("aboutAction"), m_aboutAction},
    };
    m_menuBar = new AdaptiveMenuBar(mainMenuBarDefinition(), commands, m_context.sound, this);
    m_menuBar->setObjectName(QStringLiteral("menuBar"));
}

void MainWindow::buildRowMenu()
{
    m_rowMenu = new QMenu(this);
    m_rowMenu->setObjectName(QStringLiteral("rowMenu"));
    m_rowMenu->installEventFilter(this);
    auto addItem = [this](const char *name, const QString &caption, const QString &hint,
                          void (MainWindow::*handler)()) {
        QAction *item = m_rowMenu->addAction(caption);
        item->setObjectName(QString::fromLatin1(name));
        item->setStatusTip(hint);
        connect(item, &QAction::triggered, this, guardedSlot(this, handler));
    };
    addItem("rowRenameAction", QStringLiteral("Редактиране на &името"),
            QStringLiteral("Редактиране на името на текущия запис"),
            &MainWindow::renameSelectedReminder);
    addItem("rowDeleteAction", QStringLiteral("&Изтриване"),
            QStringLiteral("Изтриване на текущия запис"), &MainWindow::deleteSelectedReminder);
    m_rowMenu->addSeparator();
    addItem("rowEditAction", QStringLiteral("&Редактиране ..."),
            QStringLiteral("Редактиране на всички данни на текущия запис"),
            &MainWindow::editSelectedReminder);
}

ReminderListModel *MainWindow::model() const
{
    return m_core.model();
}

int MainWindow::sortColumn() const
{
    return model()->sortColumn();
}

void MainWindow::prepare()
{
    m_statusDate = m_context.clock->now().date();
    m_statusDateText = m_context.formats->dateText(m_statusDate);
    setTextIfChanged(m_panels[1], m_statusDateText);
}

void MainWindow::updateOnIdle()
{
    updateStatusBar();
    updateCommands();
}

void MainWindow::updateCommands()
{
    const bool selected = selectedRow() >= 0;
    if (m_deleteAction->isEnabled() != selected)
        m_deleteAction->setEnabled(selected);
    if (m_editAction->isEnabled() != selected)
        m_editAction->setEnabled(selected);
}

void MainWindow::updateStatusBar()
{
    const QDate today = m_context.clock->now().date();
    if (today != m_statusDate || m_statusDateText.isEmpty()) {
        m_statusDate = today;
        m_statusDateText = m_context.formats->dateText(today);
    }
    // The design's widths, or what the texts need in the desktop's font when that is more.
    setTextIfChanged(m_panels[1], QStringLiteral("Днес е"));
    setWidthIfChanged(m_panels[1], std::max(44, neededWidth(m_panels[1])));
    setTextIfChanged(m_panels[2], m_statusDateText);
    setWidthIfChanged(m_panels[2], std::max(100, neededWidth(m_panels[2])));
    const int others = m_panels[1]->maximumWidth() + m_panels[2]->maximumWidth() + 11;
    if (const int width = std::max(m_statusBar->width() - others, 0);
        m_panels[0]->maximumWidth() != width)
        m_panels[0]->setMaximumWidth(width);
    setTextIfChanged(m_panels[0], m_hint);
}

QString MainWindow::statusPanelText(int panel) const
{
    return panel >= 0 && panel < 3 ? m_panels[panel]->text() : QString();
}

int MainWindow::selectedRow() const
{
    const QModelIndexList rows = m_view->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void MainWindow::sortByColumn(int column)
{
    model()->setSortColumn(column);
    model()->resort();
}

void MainWindow::textsChanged(const QModelIndex &, const QModelIndex &, const QList<int> &roles)
{
    if (roles.isEmpty() || roles.contains(Qt::DisplayRole))
        m_columnFit->start();
}

void MainWindow::fitDateAndTimeColumns()
{
    QHeaderView *header = m_view->horizontalHeader();
    for (const int column : {1, 2, int(kRepeatColumn)})
        header->resizeSection(
            column, std::max(m_view->sizeHintForColumn(column), header->sectionSizeHint(column)));
}

void MainWindow::showRowMenu(QPoint viewportPos)
{
    if (selectedRow() >= 0)
        m_rowMenu->popup(m_view->viewport()->mapToGlobal(viewportPos));
}

void MainWindow::deleteSelectedReminder()
{
    const int row = selectedRow();
    if (row >= 0)
        model()->removeEntry(row);
}

void MainWindow::editSelectedReminder()
{
    if (const int row = selectedRow(); row >= 0)
        m_core.editReminder(row);
}

void MainWindow::renameSelectedReminder()
{
    const int row = selectedRow();
    if (row >= 0)
        m_view->edit(model()->index(row, 0));
}

bool MainWindow::event(QEvent *event)
{
    if (event->type() == QEvent::LocaleChange) {
        // The regional settings changed: new texts take the new form, stored ones keep theirs.
        m_core.localeChanged();
        m_statusDateText.clear();
        model()->formatsChanged();
        m_view->viewport()->update();
    }
    if (event->type() == QEvent::StatusTip) {
        m_hint = static_cast<QStatusTipEvent *>(event)->tip();
        return true;
    }
    return PersistentMainWindow::event(event);
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    // Pop-up menus are windows of their own, so their hints do not travel up to this one.
    if (watched == m_rowMenu && event->type() == QEvent::StatusTip)
        m_hint = static_cast<QStatusTipEvent *>(event)->tip();
    return PersistentMainWindow::eventFilter(watched, event);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    PersistentMainWindow::closeEvent(event);
    requestApplicationExit();
}

} // namespace vellaro
