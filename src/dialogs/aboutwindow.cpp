#include "aboutwindow.h"

namespace vellaro {

TForm2::TForm2(FormContext &context, QWidget *parent) : TBaseForm(context, parent)
{
    setObjectName(QStringLiteral("TForm2"));
    setWindowTitle(QStringLiteral("За програмата"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
    setDesignBounds(300, 200, 271, 150);
    setFixedBorder(true);
}

} // namespace vellaro
