#include "transparencydialog.h"

#include "opacity.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QStyle>

namespace vellaro {

namespace {

// A caption whose "&" underlines its letter although no control is tied to it, so the letter
// is shown but does nothing.
class MnemonicLabel final : public QLabel
{
public:
    using QLabel::QLabel;

    QSize sizeHint() const override
    {
        return fontMetrics().size(Qt::TextShowMnemonic, text()) + QSize(1, 0);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        style()->drawItemText(&p, contentsRect(),
                              Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic, palette(),
                              isEnabled(), text(), foregroundRole());
    }
};

bool isEnterKey(const QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    const int key = static_cast<const QKeyEvent *>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

} // namespace

WindowDesign TransparencyDialog::design()
{
    return {QStringLiteral("Прозрачност на прозорците"), QRect(311, 200, 337, 120), true};
}

TransparencyDialog::TransparencyDialog(AppContext &context, WindowSettings &settings,
                                       QWidget *parent)
    : PersistentWindow(context, settings, parent)
{
    setObjectName(QStringLiteral("TransparencyDialog"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    auto *panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("panel"));
    panel->setFrameStyle(QFrame::Box | QFrame::Plain);
    panel->setGeometry(8, 8, 321, 73);

    auto *percentLabel = new MnemonicLabel(QStringLiteral("&Процент на прозрачност: "), panel);
    percentLabel->setObjectName(QStringLiteral("percentLabel"));
    percentLabel->move(10, 13);
    percentLabel->resize(percentLabel->sizeHint());

    m_percentCombo = new QComboBox(panel);
    m_percentCombo->setObjectName(QStringLiteral("percentCombo"));
    m_percentCombo->setEditable(true);
    // The list is fixed; what the user types is used once and never added to it.
    m_percentCombo->setInsertPolicy(QComboBox::NoInsert);
    m_percentCombo->addItems({QStringLiteral("100"), QStringLiteral("90"), QStringLiteral("80"),
                              QStringLiteral("70"), QStringLiteral("60"), QStringLiteral("50"),
                              QStringLiteral("40"), QStringLiteral("30"), QStringLiteral("20"),
                              QStringLiteral("10"), QStringLiteral("0")});
    m_percentCombo->setCurrentIndex(-1);
    m_percentCombo->setEditText(QString::fromUtf16(kOpacityPromptText));
    const QString hint = QStringLiteral("Задаване на стойност на прозрачност [%]");
    m_percentCombo->setToolTip(hint);
    m_percentCombo->setStatusTip(hint);
    m_percentCombo->setGeometry(160, 8, 145, m_percentCombo->sizeHint().height());
    m_percentCombo->installEventFilter(this);
    m_percentCombo->lineEdit()->installEventFilter(this);

    auto *noteLabel = new QLabel(QStringLiteral("0% съответства на непрозрачен прозорец"), panel);
    noteLabel->setObjectName(QStringLiteral("noteLabel"));
    noteLabel->setTextFormat(Qt::PlainText);
    QPalette maroon = noteLabel->palette();
    maroon.setColor(QPalette::WindowText, QColor(128, 0, 0));
    noteLabel->setPalette(maroon);
    noteLabel->move(56, 48);
    noteLabel->adjustSize();

    m_okButton = new QPushButton(QStringLiteral("&Потвърди"), this);
    m_okButton->setObjectName(QStringLiteral("okButton"));
    m_okButton->setGeometry(255, 88, 74, 25);
    m_okButton->setDefault(true);
    connect(m_okButton, &QPushButton::clicked, this, &TransparencyDialog::accept);

    setTabOrder(m_percentCombo, m_okButton);
    setFocusProxy(m_percentCombo);
}

QString TransparencyDialog::percentText() const
{
    return m_percentCombo->currentText();
}

// Enter confirms from anywhere in the window, as the default button of a dialog does; while the
// combo box's list is open, Enter only picks from the list.
void TransparencyDialog::keyPressEvent(QKeyEvent *event)
{
    if (isEnterKey(event)) {
        m_okButton->click();
        return;
    }
    PersistentWindow::keyPressEvent(event);
}

bool TransparencyDialog::eventFilter(QObject *watched, QEvent *event)
{
    if ((watched == m_percentCombo || watched == m_percentCombo->lineEdit()) && isEnterKey(event) &&
        !m_percentCombo->view()->isVisible()) {
        m_okButton->click();
        return true;
    }
    return PersistentWindow::eventFilter(watched, event);
}

} // namespace vellaro
