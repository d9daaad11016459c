#include "Wid_Text.h"

constinit const QZ_Entry QZ_Wid_Text::cls[] = {
    qz::creates<QZ_Wid_Text>(),
    qz::option<&QZ_Wid_Text_Base::m_text>("text"),
    qz::option<&QZ_Wid_Text_Base::m_color>("color"),
    qz::option<&QZ_Wid_Text_Base::m_font>("font"),
    qz::option<&QZ_Wid_Text_Base::m_size>("size"),
    qz::option<&QZ_Wid_Text_Base::m_horz>("horz"),
    qz::option<&QZ_Wid_Text_Base::m_bold>("bold"),
    qz::parent(QZ_Wid::cls),
};
