#include "Wid_Text_Base.h"

#include "QZ_Options.h"
#include "Win.h"

#include <cstring>

void QZ_Wid_Text_Base::draw(QZ_Pic_Base<QZ_Pix_A32>& dst, int32_t dx, int32_t dy,
                            const QZ_Rect& src) {
    if (text != rendered) update();
    blend(image, dst, dx, dy, src);
}

void QZ_Wid_Text_Base::update() {
    // Rendered at the first paint after attaching, even where the text
    // changed in place under the reference already rendered.
    if (!win) {
        rendered = nullptr;
        return;
    }
    // A paint on another thread may be reading the image; inside a paint the
    // mutex is ours already.
    qz::PaintLock lock(win->paintMutex);
    if (image.width != width || image.height != height) image.resize(width, height);
    if (image.pixels) {
        const size_t n = size_t(image.width) * size_t(image.height);
        std::memset(image.pixels, 0, n * sizeof(QZ_Pix_A32));
        draw_text();
        // Inked pixels become opaque, edges included (the platform mixed them
        // with the black background); untouched ones stay transparent.
        for (size_t i = 0; i < n; ++i) {
            QZ_Pix_A32& p = image.pixels[i];
            if (p.b | p.g | p.r | p.a) p.a = 255;
        }
    }
    rendered = text;
}

QZ_value QZ_Wid_Text_Base::m_text(QZ_Wid_Text_Base* o, QZ_value v) {
    // Only a text can be kept by reference; anything else changes nothing.
    if (v.type == QZ_value::TEXT) o->text = v.asText();
    return QZ_value::text(o->text);
}

QZ_value QZ_Wid_Text_Base::m_color(QZ_Wid_Text_Base* o, QZ_value v) {
    // The 32 bits as they are: a hex word keeps its top bit.
    if (v.present()) o->color = uint32_t(v.value);
    return QZ_value::integer(int32_t(o->color));
}

QZ_value QZ_Wid_Text_Base::m_font(QZ_Wid_Text_Base* o, QZ_value v) {
    if (v.type == QZ_value::TEXT) {
        const char* now = o->font.get();
        const char* given = v.asText();
        bool same = now && given ? std::strcmp(now, given) == 0 : now == given;
        if (!same) {
            o->font.set(given);
            o->font_changed();
        }
    }
    return QZ_value::text(o->font.get());
}

QZ_value QZ_Wid_Text_Base::m_size(QZ_Wid_Text_Base* o, QZ_value v) {
    if (v.present()) {
        int32_t s = qz::as_whole(v);
        if (s != o->size) {
            o->size = s;
            o->font_changed();
        }
    }
    return QZ_value::integer(o->size);
}

QZ_value QZ_Wid_Text_Base::m_horz(QZ_Wid_Text_Base* o, QZ_value v) {
    if (v.present()) o->horz = qz::as_whole(v);
    return QZ_value::integer(o->horz);
}

QZ_value QZ_Wid_Text_Base::m_bold(QZ_Wid_Text_Base* o, QZ_value v) {
    if (v.present()) {
        bool b = qz::as_number(v) != 0.0;
        if (b != o->bold) {
            o->bold = b;
            o->font_changed();
        }
    }
    return QZ_value::integer(o->bold ? 1 : 0);
}
