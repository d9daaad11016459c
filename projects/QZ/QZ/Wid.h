#pragma once
// The widget base: a rectangle on a framework window, placed in the window's
// cell grid while attached; the operations through which the window draws,
// hit-tests and drives it.
#include "Pic/Base.h"
#include "QZ_Object.h"

#include <cstdint>

class QZ_Win;
class QZ_Wid;

// A widget's link in one cell of its window's grid.
struct QZ_Wid_Cell {
    QZ_Chain_Item item; // data: the widget
    QZ_Chain* cell;
    QZ_Wid_Cell() : item(nullptr), cell(nullptr) {}
};

class QZ_Wid : public QZ_Object {
public:
    using Notify = void (*)(void* dat);

    QZ_Win* win = nullptr; // stored atomically by attach: the audio side reads it
    QZ_Chain_Item winItem{this};
    int32_t left = 0, top = 0, width = 0, height = 0;
    int32_t visible = 1;
    int32_t enabled = 1;
    QZ_Wid_Cell* entries = nullptr;
    int32_t entryCount = 0;
    uint64_t attachedAs = 0; // its place in the window's attachment order

    QZ_Wid() = default;
    ~QZ_Wid() override; // detaches

    virtual void reserved() {}
    // Blend src (widget coordinates) of the widget's image into dst at (dx, dy).
    virtual void draw(QZ_Pic_Base<QZ_Pix_A32>& dst, int32_t dx, int32_t dy, const QZ_Rect& src);
    virtual void update() {}
    virtual void redraw();
    // Like redraw, but only asks the window for a later repaint: for the audio
    // side, which must never wait for a paint.
    void request_redraw();
    virtual void press(int32_t x, int32_t y);
    virtual void drag(int32_t x, int32_t y);
    virtual bool hit(int32_t x, int32_t y);
    virtual void release() {}
    // Whether the window lights it up under the pointer and hands it presses
    // and drags: the controls do (QZ_Wid_Control), the rest lie still.
    virtual bool takes_hover() const { return false; }

    QZ_Rect rect() const { return {left, top, left + width, top + height}; }
    // Attaches to w (null: detaches); never two sets of cell entries.
    void attach(QZ_Win* w);

    static QZ_value m_l(QZ_Wid* o, QZ_value v);
    static QZ_value m_t(QZ_Wid* o, QZ_value v);
    static QZ_value m_w(QZ_Wid* o, QZ_value v);
    static QZ_value m_h(QZ_Wid* o, QZ_value v);
    static QZ_value m_win(QZ_Wid* o, QZ_value v);
    static QZ_value m_vis(QZ_Wid* o, QZ_value v);
    static QZ_value m_enabled(QZ_Wid* o, QZ_value v);

    static const QZ_Entry cls[];

private:
    // "l", "t", "w", "h": an attached widget is placed anew in the grid.
    static QZ_value geometry(QZ_Wid* o, int32_t& field, const QZ_value& v);
    void place();   // cell entries for the current rectangle, in attachment order
    void unplace(); // and out of the cells again
};

namespace qz {
// A resource name kept by a widget ("res"): its own copy, since the command's
// text need not outlive the option.
class ResName {
public:
    ResName() = default;
    ~ResName() { delete[] text_; }
    ResName(const ResName&) = delete;
    ResName& operator=(const ResName&) = delete;
    void set(const char* s);
    const char* get() const { return text_; }

private:
    char* text_ = nullptr;
};

} // namespace qz
