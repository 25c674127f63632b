#include "opacitydialog.h"

namespace vellaro {

TOpacitySetForm::TOpacitySetForm(FormContext &context, QWidget *parent) : TBaseForm(context, parent)
{
    setObjectName(QStringLiteral("TOpacitySetForm"));
    setWindowTitle(QStringLiteral("Прозрачност на прозорците"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setDesignBounds(311, 200, 337, 120);
    setFixedBorder(true);
}

} // namespace vellaro
