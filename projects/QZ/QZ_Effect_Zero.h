#pragma once
#include "QZ_Effect.h"

// Clears its output buffer.
class QZ_Effect_Zero : public QZ_Effect {
public:
    QZ_Buffer* o = nullptr;

    void process() override;

    static QZ_value m_o(QZ_Effect_Zero* e, QZ_value v);
    static const QZ_Entry cls[];
};
