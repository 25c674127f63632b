#pragma once

#include "baseform.h"

namespace vellaro {

class TForm4 final : public TBaseForm
{
    Q_OBJECT

public:
    explicit TForm4(FormContext &context, QWidget *parent = nullptr);
};

} // namespace vellaro
