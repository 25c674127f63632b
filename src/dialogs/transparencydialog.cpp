#include "dialogs/transparencydialog.h"

#include "core/opacity.h"
#include "windowkit/windowlook.h"

#include <QAbstractItemView>
#include <QBoxLayout>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
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
    QSize minimumSizeHint() const override { return sizeHint(); }

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

    auto *percentLabel = new MnemonicLabel(QStringLiteral("&Процент на прозрачност: "), panel);
    percentLabel->setObjectName(QStringLiteral("percentLabel"));
    // Qt drops the "&" from a label's accessible name only when the label has a buddy.
    percentLabel->setAccessibleName(QStringLiteral("Процент на прозрачност:"));

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
    // Wide enough for the prompt it starts with.
    m_percentCombo->setMinimumContentsLength(int(QString::fromUtf16(kOpacityPromptText).size()));
    m_percentCombo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    const QString hint = QStringLiteral("Задаване на стойност на прозрачност [%]");
    m_percentCombo->setToolTip(hint);
    m_percentCombo->setStatusTip(hint);
    m_percentCombo->installEventFilter(this);
    m_percentCombo->lineEdit()->installEventFilter(this);

    m_noteLabel = new QLabel(QStringLiteral("0% съответства на непрозрачен прозорец"), panel);
    m_noteLabel->setObjectName(QStringLiteral("noteLabel"));
    m_noteLabel->setTextFormat(Qt::PlainText);

    m_okButton = new QPushButton(QStringLiteral("&Потвърди"), this);
    m_okButton->setObjectName(QStringLiteral("okButton"));
    m_okButton->setDefault(true);
    connect(m_okButton, &QPushButton::clicked, this, &TransparencyDialog::accept);

    auto *grid = new QGridLayout(panel);
    grid->setColumnStretch(1, 1);
    grid->addWidget(percentLabel, 0, 0);
    grid->addWidget(m_percentCombo, 0, 1);
    grid->addWidget(m_noteLabel, 1, 0, 1, 2, Qt::AlignHCenter);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_okButton);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(panel);
    layout->addStretch(1);
    layout->addLayout(buttons);

    setTabOrder(m_percentCombo, m_okButton);
    setFocusProxy(m_percentCombo);
    applyColours();
}

void TransparencyDialog::applyColours()
{
    // Not before the window has built its texts (a palette change reaches it while it does).
    if (!m_noteLabel)
        return;
    setTextColour(m_noteLabel, QColor(128, 0, 0));
}

void TransparencyDialog::changeEvent(QEvent *event)
{
    PersistentWindow::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        applyColours();
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
