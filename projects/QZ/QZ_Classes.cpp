#include "QZ_Buffer.h"
#include "QZ_Effect.h"
#include "QZ_Effect_Ampdet.h"
#include "QZ_Effect_Bapass.h"
#include "QZ_Effect_Copy.h"
#include "QZ_Effect_Deline.h"
#include "QZ_Effect_Dist.h"
#include "QZ_Effect_Freqmul.h"
#include "QZ_Effect_Gtzero.h"
#include "QZ_Effect_Hipass.h"
#include "QZ_Effect_Koef.h"
#include "QZ_Effect_Lopass.h"
#include "QZ_Effect_Ltzero.h"
#include "QZ_Effect_Nefreqmul.h"
#include "QZ_Effect_Nshift.h"
#include "QZ_Effect_Oper.h"
#include "QZ_Effect_Oversam.h"
#include "QZ_Effect_Shift.h"
#include "QZ_Effect_Zero.h"
#include "QZ_Fourier_Noisegate.h"
#include "QZ_Fourier_Transform.h"
#include "QZ_Object.h"
#include "QZ_Soundpipe.h"
#include "Wid.h"
#include "Wid_Butt.h"
#include "Wid_Knob.h"
#include "Wid_Pal.h"
#include "Wid_Pic.h"
#include "Wid_Text.h"

// The class table: every class a command can name, in the table's fixed order.
extern "C" {
constinit const QZ_Class __QZ[] = {
    {"QZ_Object", QZ_Object::cls},
    {"QZ_Soundpipe", QZ_Soundpipe::cls},
    {"QZ_Buffer", QZ_Buffer::cls},
    {"QZ_Effect", QZ_Effect::cls},
    {"QZ_Effect_Zero", QZ_Effect_Zero::cls},
    {"QZ_Effect_Hipass", QZ_Effect_Hipass::cls},
    {"QZ_Effect_Lopass", QZ_Effect_Lopass::cls},
    {"QZ_Effect_Freqmul", QZ_Effect_Freqmul::cls},
    {"QZ_Effect_Nefreqmul", QZ_Effect_Nefreqmul::cls},
    {"QZ_Effect_Gtzero", QZ_Effect_Gtzero::cls},
    {"QZ_Effect_Ltzero", QZ_Effect_Ltzero::cls},
    {"QZ_Effect_Bapass", QZ_Effect_Bapass::cls},
    {"QZ_Effect_Ampdet", QZ_Effect_Ampdet::cls},
    {"QZ_Effect_Copy", QZ_Effect_Copy::cls},
    {"QZ_Effect_Oper", QZ_Effect_Oper::cls},
    {"QZ_Effect_Koef", QZ_Effect_Koef::cls},
    {"QZ_Effect_Dist", QZ_Effect_Dist::cls},
    {"QZ_Effect_Deline", QZ_Effect_Deline::cls},
    {"QZ_Effect_Oversam", QZ_Effect_Oversam::cls},
    {"QZ_Effect_Shift", QZ_Effect_Shift::cls},
    {"QZ_Effect_Nshift", QZ_Effect_Nshift::cls},
    {"QZ_Fourier_Transform", QZ_Fourier_Transform::cls},
    {"QZ_Fourier_Noisegate", QZ_Fourier_Noisegate::cls},
    {"QZ_Wid", QZ_Wid::cls},
    {"QZ_Wid_Pic", QZ_Wid_Pic::cls},
    {"QZ_Wid_Butt", QZ_Wid_Butt::cls},
    {"QZ_Wid_Knob", QZ_Wid_Knob::cls},
    {"QZ_Wid_Pal", QZ_Wid_Pal::cls},
    {"QZ_Wid_Text", QZ_Wid_Text::cls},
    {nullptr, nullptr},
};
}
