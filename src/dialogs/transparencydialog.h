#pragma once

#include "windowkit/persistentwindow.h"

class QComboBox;
class QLabel;
class QPushButton;

namespace vellaro {

// Asks for the transparency percentage of every window. It is run modally and confirmed with
// its one button (or Enter); closing it any other way changes nothing. The text keeps what the
// user chose or typed from one use to the next.
class TransparencyDialog final : public PersistentWindow
{
    Q_OBJECT

public:
    static WindowDesign design();
    TransparencyDialog(AppContext &context, WindowSettings &settings, QWidget *parent = nullptr);

    QString percentText() const;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    // The note's accent colour, made readable on the window's background.
    void applyColours();

    QComboBox *m_percentCombo = nullptr;
    QLabel *m_noteLabel = nullptr;
    QPushButton *m_okButton = nullptr;
};

} // namespace vellaro
