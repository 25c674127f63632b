#pragma once

#include "baseform.h"

namespace vellaro {

class TOpacitySetForm final : public TBaseForm
{
    Q_OBJECT

public:
    explicit TOpacitySetForm(FormContext &context, QWidget *parent = nullptr);
};

} // namespace vellaro
