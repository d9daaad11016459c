#pragma once
// The picture windows and widgets embed: a DIB section on Windows, a heap
// picture natively (where nothing is copied to a screen by the system).
#if defined(_WIN32)
#include "Pic/QZ_Pic_Win32.h"
template <class TPix> class QZ_Pic : public QZ_Pic_Win32<TPix> {};
#else
#include "Pic/Base.h"
template <class TPix> class QZ_Pic : public QZ_Pic_Base<TPix> {};
#endif
