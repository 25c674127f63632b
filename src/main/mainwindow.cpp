#include "mainwindow.h"

#include "actionmenubar.h"
#include "alarmwindow.h"
#include "appexit.h"
#include "autostart.h"
#include "entryeditor.h"
#include "error.h"
#include "guard.h"
#include "icons.h"
#include "listfile.h"
#include "listview.h"
#include "menuusage.h"
#include "notifyicon.h"
#include "opacity.h"
#include "opacitydialog.h"
#include "reminderlistmodel.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateEdit>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScopeGuard>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimeEdit>
#include <QTimer>
#include <QVBoxLayout>

namespace vellaro {

namespace {

constexpr int kSaveIntervalMs = 600000;

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

} // namespace

TForm1::TForm1(FormContext &context, QWidget *parent) : TBaseForm(context, parent)
{
    setObjectName(QStringLiteral("TForm1"));
    setWindowTitle(QStringLiteral("Vellaro - Версия 2.0"));
    setWindowIcon(programIcon());
    setDesignBounds(224, 190, 509, 344);

    m_model = new ReminderListModel(this);
    m_model->setObjectName(QStringLiteral("ListModel"));
    m_model->setRowDecoration(imageList1Icon(3));

    Action1 = makeAction("Action1", QStringLiteral("&Добавяне ..."),
                         QStringLiteral("Добавяне на нов запис"), 0);
    Action2 = makeAction("Action2", QStringLiteral("&Изтриване"),
                         QStringLiteral("Изтриване на текущия запис"), 1);
    Action4 = makeAction("Action4", QStringLiteral("&Редактиране ..."),
                         QStringLiteral("Редактиране на всички данни за текущия запис"), 5);
    Action3 =
        makeAction("Action3", QStringLiteral("И&зход"), QStringLiteral("Изход от програмата"), 2);
    Alpha = makeAction("Alpha", QStringLiteral("&Степен на прозрачност"),
                       QStringLiteral("Процент на прозрачност"), 7);
    aAbout = makeAction("aAbout", QStringLiteral("&About"),
                        QStringLiteral("Показване на информация за приложението"), 4);
    connect(Action1, &QAction::triggered, this, guardedSlot(this, &TForm1::Action1Execute));
    connect(Action2, &QAction::triggered, this, guardedSlot(this, &TForm1::Action2Execute));
    connect(Action4, &QAction::triggered, this, guardedSlot(this, &TForm1::Edit1Click));
    connect(Action3, &QAction::triggered, this, guardedSlot(this, &TForm1::Action3Execute));
    connect(aAbout, &QAction::triggered, this, guardedSlot(this, &TForm1::aAboutExecute));
    connect(Alpha, &QAction::triggered, this, guardedSlot(this, &TForm1::AlphaExecute));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    buildMenuBar();
    layout->setMenuBar(ActionMainMenuBar1);

    ListView1 = new TListView(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setModel(m_model);
    layout->addWidget(ListView1, 1);
    connect(ListView1->horizontalHeader(), &QHeaderView::sectionClicked, this,
            guardedSlot(this, &TForm1::ListView1ColumnClick));
    connect(ListView1, &TListView::mouseDown, this, guardedSlot(this, &TForm1::ListView1MouseDown));

    Status = new QStatusBar(this);
    Status->setObjectName(QStringLiteral("Status"));
    Status->setFixedHeight(19);
    for (int i = 0; i < 3; ++i) {
        m_panels[i] = new QLabel(Status);
        m_panels[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        m_panels[i]->setTextFormat(Qt::PlainText);
    }
    // The hint panel takes what the other two leave; it must never widen the window itself.
    m_panels[0]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_panels[0]->setMinimumWidth(0);
    m_panels[0]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Status->addWidget(m_panels[0], 1);
    Status->addWidget(m_panels[1]);
    Status->addWidget(m_panels[2]);
    layout->addWidget(Status);

    buildContextMenu();
    buildTray();

    ModifiedTimer = new QTimer(this);
    ModifiedTimer->setObjectName(QStringLiteral("ModifiedTimer"));
    ModifiedTimer->setInterval(kSaveIntervalMs);
    connect(ModifiedTimer, &QTimer::timeout, this, guardedSlot(this, &TForm1::ModifiedTimerTimer));

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    Timer1->setTimerType(Qt::PreciseTimer);
    connect(Timer1, &QTimer::timeout, this, guardedSlot(this, &TForm1::Timer1Timer));
    Timer1->start();
    StartTimer = new QTimer(this);
    StartTimer->setObjectName(QStringLiteral("StartTimer"));
    StartTimer->setInterval(1000);
    connect(StartTimer, &QTimer::timeout, this, guardedSlot(this, &TForm1::StartTimerTimer));
    StartTimer->start();

    // Qt has no idle signal; the dispatcher announces each time the loop is about to wait.
    if (auto *dispatcher = QAbstractEventDispatcher::instance())
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
                guardedSlot(this, &TForm1::ApplicationEvents1Idle));

    setFocusProxy(ListView1);
    ListView1->setFocus();

    // Every component is in place: the tray icon acts on its values now, before the creation
    // handler runs, and keeps the window hidden for the start.
    NotifyIcon1->FinishLoading();
}

TForm1::~TForm1() = default;

QAction *TForm1::makeAction(const char *name, const QString &caption, const QString &hint,
                            int image)
{
    auto *action = new QAction(imageList1Icon(image), caption, this);
    action->setObjectName(QString::fromLatin1(name));
    action->setStatusTip(hint);
    action->setToolTip(hint);
    return action;
}

void TForm1::buildMenuBar()
{
    const QHash<QString, QAction *> commands{
        {QStringLiteral("Action1"), Action1}, {QStringLiteral("Action2"), Action2},
        {QStringLiteral("Action3"), Action3}, {QStringLiteral("Action4"), Action4},
        {QStringLiteral("Alpha"), Alpha},     {QStringLiteral("aAbout"), aAbout},
    };
    ActionMainMenuBar1 =
        new TActionMainMenuBar(mainMenuBarDefinition(), commands, m_context.sound, this);
    ActionMainMenuBar1->setObjectName(QStringLiteral("ActionMainMenuBar1"));
}

void TForm1::buildContextMenu()
{
    ContextPopup = new QMenu(this);
    ContextPopup->setObjectName(QStringLiteral("ContextPopup"));
    ContextPopup->installEventFilter(this);

    QAction *editName = ContextPopup->addAction(QStringLiteral("Редактиране на &името"));
    editName->setObjectName(QStringLiteral("EditName1"));
    editName->setStatusTip(QStringLiteral("Редактиране на името на текущия запис"));
    connect(editName, &QAction::triggered, this, guardedSlot(this, &TForm1::EditName1Click));

    QAction *remove = ContextPopup->addAction(QStringLiteral("&Изтриване"));
    remove->setObjectName(QStringLiteral("EditDescription1"));
    remove->setStatusTip(QStringLiteral("Изтриване на текущия запис"));
    connect(remove, &QAction::triggered, this, guardedSlot(this, &TForm1::Action2Execute));

    QAction *separator = ContextPopup->addSeparator();
    separator->setObjectName(QStringLiteral("N1"));

    QAction *edit = ContextPopup->addAction(QStringLiteral("&Редактиране ..."));
    edit->setObjectName(QStringLiteral("Edit1"));
    edit->setStatusTip(QStringLiteral("Редактиране на всички данни на текущия запис"));
    connect(edit, &QAction::triggered, this, guardedSlot(this, &TForm1::Edit1Click));
}

void TForm1::buildTray()
{
    ImageList2 = new TImageList(this);
    ImageList2->setObjectName(QStringLiteral("ImageList2"));
    for (int i = 0; i < 8; ++i)
        ImageList2->Add(imageList1Icon(i));

    TrayPopup = new TPopupMenu(this);
    TrayPopup->setObjectName(QStringLiteral("TrayPopup"));
    auto addItem = [this](const char *name, const QString &caption) {
        auto *item = new TMenuItem(caption, TrayPopup);
        item->setObjectName(QString::fromLatin1(name));
        TrayPopup->addAction(item);
        return item;
    };
    auto addSeparator = [this](const char *name) {
        TrayPopup->addSeparator()->setObjectName(QString::fromLatin1(name));
    };

    TMenuItem *showHide = addItem("ShowHide", QStringLiteral("Показване / Скриване"));
    showHide->setDefault(true);
    connect(showHide, &QAction::triggered, this,
            [this, showHide] { guarded([&] { ShowHideClick(showHide); }); });
    addSeparator("N3");
    TMenuItem *add = addItem("New", QStringLiteral("Добавяне на нов запис ..."));
    connect(add, &QAction::triggered, Action1, &QAction::trigger);
    addSeparator("N9");
    TMenuItem *about = addItem("AboutProg", QStringLiteral("За програмата"));
    connect(about, &QAction::triggered, aAbout, &QAction::trigger);
    Autostart = addItem("Autostart", QStringLiteral("Стартиране с ОС"));
    Autostart->setCheckable(true);
    Autostart->setChecked(true);
    connect(Autostart, &QAction::triggered, this,
            [this] { guarded([this] { AutostartClick(Autostart); }); });
    addSeparator("N6");
    TMenuItem *exit = addItem("Exit", QStringLiteral("Изход"));
    connect(exit, &QAction::triggered, Action3, &QAction::trigger);

    NotifyIcon1 = new TNotifyIcon(this, m_context.trayShell);
    NotifyIcon1->setObjectName(QStringLiteral("NotifyIcon1"));
    NotifyIcon1->setIconList(ImageList2);
    NotifyIcon1->setCycleInterval(400);
    NotifyIcon1->setHint(QStringLiteral("Vellaro Версия: 2.0"));
    NotifyIcon1->setShowHint(true);
    NotifyIcon1->setIcon(programIcon());
    NotifyIcon1->setPopupMenu(TrayPopup);
    NotifyIcon1->setStartMinimized(true);
    NotifyIcon1->setMinimizeToTray(true);
    NotifyIcon1->setOnClick([this](QObject *sender) { NotifyIcon1Click(sender); });

    // The area went away while the window was hidden in it: bring the window back, or nothing
    // would be left to reach the program by.
    if (NotifyIconShell *shell = m_context.trayShell)
        connect(shell, &NotifyIconShell::areaAvailabilityChanged, this, [this](bool available) {
            if (!available && !isVisible())
                guarded([this] { NotifyIcon1->ShowMainWindow(); });
        });
}

void TForm1::showAtStart()
{
    const bool trayReachable = m_context.trayShell && m_context.trayShell->isAreaAvailable();
    if (NotifyIcon1->ShowMainWindowAtRun() || !trayReachable)
        show();
}

void TForm1::ShowHideClick(QObject *)
{
    if (isVisible()) {
        NotifyIcon1->HideMainWindow();
        return;
    }
    NotifyIcon1->ShowMainWindow();
    if (m_context.trayShell)
        m_context.trayShell->SetForegroundWindow(window());
}

void TForm1::NotifyIcon1Click(QObject *Sender)
{
    ShowHideClick(Sender);
}

void TForm1::AutostartClick(QObject *)
{
    // Whether this writes or deletes follows the store alone, never the check mark.
    AutostartStore *store = m_context.autostart;
    if (!store || !store->isOpen())
        return;
    if (store->valueExists())
        store->deleteValue();
    else
        store->writeValue(QCoreApplication::applicationFilePath());
}

void TForm1::setEntryEditor(TForm3 *editor)
{
    m_editor = editor;
}

void TForm1::setAlarmWindow(TForm4 *alarm)
{
    m_alarmWindow = alarm;
}

int TForm1::SortColumn() const
{
    return m_model->sortColumn();
}

void TForm1::FormCreate()
{
    LoadList();
    m_statusDate = m_context.clock->now().date();
    m_statusDateText = m_context.formats->dateText(m_statusDate);
    setTextIfChanged(m_panels[1], m_statusDateText);
    // Last: whether the program starts with the session. A store that does not open leaves the
    // mark as it is.
    if (AutostartStore *store = m_context.autostart; store && store->isOpen())
        Autostart->setChecked(store->valueExists());
}

void TForm1::LoadList()
{
    m_model->clear();
    m_model->setEntries(
        listfile::load(m_context.listPath, listfile::legacyCodePage(m_context.formats->locale())));
}

void TForm1::SaveList()
{
    listfile::save(m_context.listPath, m_model->entries());
}

void TForm1::DoDestroy()
{
    // The list matters more than window geometry: report its failure, then still keep the rest.
    guarded([this] { SaveList(); });
    TBaseForm::DoDestroy();
}

void TForm1::MarkChanged()
{
    if (!ModifiedTimer->isActive())
        ModifiedTimer->start();
}

void TForm1::ModifiedTimerTimer()
{
    ModifiedTimer->stop();
    SaveList();
}

void TForm1::ApplicationEvents1Idle()
{
    FillStatus();
    const bool selected = selectedRow() >= 0;
    if (Action2->isEnabled() != selected)
        Action2->setEnabled(selected);
    if (Action4->isEnabled() != selected)
        Action4->setEnabled(selected);
}

void TForm1::FillStatus()
{
    const QDate today = m_context.clock->now().date();
    if (today != m_statusDate || m_statusDateText.isEmpty()) {
        m_statusDate = today;
        m_statusDateText = m_context.formats->dateText(today);
    }
    setWidthIfChanged(m_panels[1], 44);
    setTextIfChanged(m_panels[1], QStringLiteral("Днес е"));
    setWidthIfChanged(m_panels[2], 100);
    setTextIfChanged(m_panels[2], m_statusDateText);
    if (const int width = std::max(Status->width() - 155, 0); m_panels[0]->maximumWidth() != width)
        m_panels[0]->setMaximumWidth(width);
    setTextIfChanged(m_panels[0], m_hint);
}

QString TForm1::statusPanelText(int panel) const
{
    return panel >= 0 && panel < 3 ? m_panels[panel]->text() : QString();
}

int TForm1::selectedRow() const
{
    const QModelIndexList rows = ListView1->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void TForm1::ListView1ColumnClick(int column)
{
    m_model->setSortColumn(column);
    m_model->resort();
}

void TForm1::ListView1MouseDown(Qt::MouseButton button, QPoint globalPos)
{
    if (button == Qt::RightButton && selectedRow() >= 0)
        ContextPopup->popup(globalPos);
}

void TForm1::Action2Execute()
{
    const int row = selectedRow();
    if (row >= 0)
        m_model->removeEntry(row);
}

void TForm1::Action3Execute()
{
    requestApplicationExit();
}

QString TForm1::ConvertToDate(const QString &text)
{
    return convertToDate(text);
}

void TForm1::Action1Execute()
{
    if (!m_editor)
        return;
    m_editor->setWindowTitle(QStringLiteral("Добавяне на нов запис"));
    m_editor->applyFormats();
    m_editor->Clear();
    if (m_editor->showModal() != mrOk)
        return;

    const LocaleFormats &formats = *m_context.formats;
    m_model->addEntry(
        {m_editor->EditName->text(),
         {formats.dateText(m_editor->DateTime->date()),
          formats.timeText(m_editor->TimeInput->time()), m_editor->EditNotes->text()}});
    MarkChanged();
}

void TForm1::Edit1Click()
{
    int row = selectedRow();
    if (!m_editor || row < 0)
        return;
    const LocaleFormats &formats = *m_context.formats;
    const ReminderEntry &entry = m_model->entry(row);
    const auto detail = [&entry](int index) -> const QString & {
        if (index >= entry.details.size())
            throw Error(QStringLiteral("List index out of bounds (%1)").arg(index));
        return entry.details.at(index);
    };

    m_editor->setWindowTitle(QStringLiteral("Редактиране на запис"));
    m_editor->applyFormats();
    m_editor->EditName->setText(entry.name);
    const int thisYear = m_context.clock->now().date().year();
    m_editor->DateTime->setDate(formats.parseDateText(detail(0), thisYear));
    m_editor->TimeInput->setTime(formats.parseTimeText(detail(1)));
    m_editor->EditNotes->setText(detail(2));
    if (m_editor->showModal() != mrOk)
        return;

    // The row may have moved or gone while the dialog was open (an alarm, a rename).
    if (row >= m_model->rowCount())
        return;
    row = m_model->setName(row, m_editor->EditName->text());
    m_model->setDetail(row, 0, formats.dateText(m_editor->DateTime->date()));
    m_model->setDetail(row, 1, formats.timeText(m_editor->TimeInput->time()));
    m_model->setDetail(row, 2, m_editor->EditNotes->text());
    MarkChanged();
}

void TForm1::Timer1Timer()
{
    // Tick just after each change of second, so a reminder sounds at its second and not up to a
    // second late (the interval stays about a second; the check itself catches up what it must).
    const int intoSecond = m_context.clock->now().time().msec();
    Timer1->start(1000 - intoSecond + 20);
    CheckForReminder();
}

void TForm1::StartTimerTimer()
{
    CheckForReminder();
}

void TForm1::CheckForReminder()
{
    StartTimer->stop();
    m_alarmQueue.append(m_check.collectDue(m_context.clock->now(), *m_model, *m_context.formats));
    // Checks that run while an alarm is being shown only queue what falls due.
    if (m_showingAlarms || !m_alarmWindow)
        return;
    m_showingAlarms = true;
    const auto done = qScopeGuard([this] { m_showingAlarms = false; });
    while (!m_alarmQueue.isEmpty() && !applicationExiting()) {
        const DueReminder due = m_alarmQueue.takeFirst();
        m_alarmWindow->showReminder(m_context.formats->dateText(m_context.clock->now().date()),
                                    due.name, due.timeText, due.notes);
        if (m_context.sound)
            m_context.sound->playFileAndWait(QDir::currentPath() + QStringLiteral("/alarm.wav"));
        if (applicationExiting())
            break;
        m_alarmWindow->showModal();
    }
}

void TForm1::EditName1Click()
{
    const int row = selectedRow();
    if (row >= 0)
        ListView1->edit(m_model->index(row, 0));
    MarkChanged();
}

void TForm1::aAboutExecute()
{
    if (!m_aboutWindow)
        return;
    m_aboutWindow->show();
    m_aboutWindow->raise();
    m_aboutWindow->activateWindow();
}

void TForm1::setOpacityWindow(TOpacitySetForm *dialog)
{
    m_opacityWindow = dialog;
}

void TForm1::AlphaExecute()
{
    if (!m_opacityWindow || m_opacityWindow->showModal() != mrOk)
        return;
    // A text that is no number stops here, before any window has changed.
    const int alpha = opacityFromPercentText(m_opacityWindow->percentText(),
                                             m_context.formats->decimalSeparator());
    for (TBaseForm *form : TBaseForm::liveForms())
        form->setAlphaBlendValue(alpha);
}

bool TForm1::event(QEvent *event)
{
    if (event->type() == QEvent::LocaleChange) {
        // The regional settings changed: new texts take the new form, stored ones keep theirs.
        *m_context.formats = LocaleFormats::fromLocale(QLocale::system());
        m_statusDateText.clear();
    }
    if (event->type() == QEvent::StatusTip) {
        m_hint = static_cast<QStatusTipEvent *>(event)->tip();
        return true;
    }
    return TBaseForm::event(event);
}

bool TForm1::eventFilter(QObject *watched, QEvent *event)
{
    // Pop-up menus are windows of their own, so their hints do not travel up to this one.
    if (watched == ContextPopup && event->type() == QEvent::StatusTip)
        m_hint = static_cast<QStatusTipEvent *>(event)->tip();
    return TBaseForm::eventFilter(watched, event);
}

void TForm1::closeEvent(QCloseEvent *event)
{
    TBaseForm::closeEvent(event);
    requestApplicationExit();
}

} // namespace vellaro
