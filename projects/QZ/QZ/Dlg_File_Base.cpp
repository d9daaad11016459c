#include "Dlg_File_Base.h"

QZ_Dlg_File_Base::QZ_Dlg_File_Base(QZ_Win* o, char* f) : owner(o), filter(f) {}

QZ_Dlg_File_Base::~QZ_Dlg_File_Base() = default;
