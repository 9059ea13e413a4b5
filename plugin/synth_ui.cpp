// The plugin's own window: the panel, as the program shows it. Its still
// parts come from the pictures drawn with Allegro at build time, its sliders
// are drawn and followed under the mouse as Allegro does it (panel/panel_view.h),
// and the picture reaches the screen as one OpenGL texture, of which only
// what changed is sent again.
//
// A slider dragged or a mode button pressed sets its parameter through the
// host, between the begin and end of a gesture, so that the host can record
// and undo it; a value the host sets moves its slider. Save writes the
// instrument's 192-byte file from the values the window was given; Load reads
// one and sets all the instrument's parameters in one gesture.
#include "DistrhoUI.hpp"

#include <cstring>
#include <string>

#include "files/instrument_file.h"
#include "panel/panel_art.h"
#include "panel/panel_view.h"

#ifndef GL_BGRA
#define GL_BGRA 0x80E1
#endif

START_NAMESPACE_DISTRHO

namespace {

constexpr int TEXTURE_H = 1024; // a power of two for the oldest OpenGL

// The start-up pictures, read once for every window.
struct art {
    pixels up, down;
    bool good = read_panel_art(panel_art, panel_art_size, up, down);
};
const art& the_art() {
    static const art a;
    return a;
}

} // namespace

class SynthUI : public UI {
public:
    SynthUI() : UI(PANEL_W, PANEL_H), view_(the_art().up, the_art().down) {
        for (int id = 0; id < PARAM_COUNT; ++id) value_[id] = param_start(id);
    }

    ~SynthUI() override {
        if (texture_) glDeleteTextures(1, &texture_);
    }

protected:
    void parameterChanged(uint32_t index, float value) override {
        if (index >= uint32_t(PARAM_COUNT)) return;
        value_[index] = value;
        if (view_.show(int(index), value)) repaint();
    }

#if DISTRHO_PLUGIN_WANT_PROGRAMS
    void programLoaded(uint32_t) override {} // the host sends the parameters it set
#endif

    void onDisplay() override {
        const panel_view::rect r = view_.take_dirty();
        const pixels& p = view_.image();
        if (!texture_) {
            glGenTextures(1, &texture_);
            glBindTexture(GL_TEXTURE_2D, texture_);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, PANEL_W, TEXTURE_H, 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
            send({0, 0, PANEL_W, PANEL_H}, p);
        } else {
            glBindTexture(GL_TEXTURE_2D, texture_);
            if (r.w > 0) send(r, p);
        }
        glEnable(GL_TEXTURE_2D);
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
        const float bottom = float(PANEL_H) / float(TEXTURE_H);
        glBegin(GL_QUADS);
        glTexCoord2f(0.0f, 0.0f);
        glVertex2i(0, 0);
        glTexCoord2f(1.0f, 0.0f);
        glVertex2i(PANEL_W, 0);
        glTexCoord2f(1.0f, bottom);
        glVertex2i(PANEL_W, PANEL_H);
        glTexCoord2f(0.0f, bottom);
        glVertex2i(0, PANEL_H);
        glEnd();
        glBindTexture(GL_TEXTURE_2D, 0);
        glDisable(GL_TEXTURE_2D);
    }

    bool onMouse(const MouseEvent& ev) override {
        if (ev.button != 1) return false;
        const int x = int(ev.pos.getX()), y = int(ev.pos.getY());
        if (!ev.press) {
            if (held_ >= 0) editParameter(uint32_t(held_), false);
            held_ = -1;
            view_.mouse_up();
            repaint();
            return true;
        }
        const panel_view::press p = view_.mouse_down(x, y);
        switch (p.what) {
        case panel_view::press::slider:
            held_ = p.param;
            editParameter(uint32_t(held_), true);
            if (p.changed) change(p.param, p.value);
            break;
        case panel_view::press::mode:
            editParameter(uint32_t(p.param), true);
            change(p.param, p.value);
            editParameter(uint32_t(p.param), false);
            break;
        case panel_view::press::file: file_action(p.action); break;
        case panel_view::press::nothing: return false;
        }
        repaint();
        return true;
    }

    bool onMotion(const MotionEvent& ev) override {
        int param;
        double value;
        if (held_ < 0 || !view_.mouse_drag(int(ev.pos.getX()), int(ev.pos.getY()), param, value)) return false;
        change(param, value);
        repaint();
        return true;
    }

    void uiFileBrowserSelected(const char* filename) override {
        if (!filename || pending_action_ < 0) return;
        const int n = pending_action_ / 2 + 1;
        std::string error;
        if (pending_action_ % 2 == 0) {
            if (!save_instrument_values(filename, values_of(n), &error)) d_stderr("synth: %s", error.c_str());
        } else if (auto values = load_instrument_values(filename, &error)) {
            load(n, *values);
        } else {
            d_stderr("synth: %s", error.c_str());
        }
        pending_action_ = -1;
    }

private:
    void send(const panel_view::rect& r, const pixels& p) {
        glPixelStorei(GL_UNPACK_ROW_LENGTH, PANEL_W);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        glTexSubImage2D(GL_TEXTURE_2D, 0, r.x, r.y, r.w, r.h, GL_BGRA, GL_UNSIGNED_BYTE,
                        p.px.data() + size_t(r.y) * PANEL_W + size_t(r.x));
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    }

    void change(int param, double value) {
        value_[param] = value;
        setParameterValue(uint32_t(param), float(value));
    }

    instrument_values values_of(int n) const {
        instrument_values v;
        for (int i = 0; i < INSTRUMENT_PARAMS; ++i) v[size_t(i)] = value_[param_id(n, 0) + i];
        return v;
    }

    // Every parameter of the instrument in one gesture.
    void load(int n, const instrument_values& v) {
        const int first = param_id(n, 0);
        for (int i = 0; i < INSTRUMENT_PARAMS; ++i) editParameter(uint32_t(first + i), true);
        for (int i = 0; i < INSTRUMENT_PARAMS; ++i) {
            change(first + i, v[size_t(i)]);
            view_.show(first + i, v[size_t(i)]);
        }
        for (int i = 0; i < INSTRUMENT_PARAMS; ++i) editParameter(uint32_t(first + i), false);
        repaint();
    }

    void file_action(int action) {
        pending_action_ = action;
        FileBrowserOptions options;
        options.saving = action % 2 == 0;
        options.defaultName = "instrument.zpk";
        options.title = options.saving ? "Save instrument" : "Load instrument";
        if (!openFileBrowser(options)) {
            // On Linux saving needs the desktop's file chooser portal.
            d_stderr("synth: no file dialog to %s an instrument here", options.saving ? "save" : "load");
            pending_action_ = -1;
        }
    }

    panel_view view_;
    double value_[PARAM_COUNT];
    GLuint texture_ = 0;
    int held_ = -1;           // the parameter of the slider being dragged
    int pending_action_ = -1; // the file button whose file dialog is open

    DISTRHO_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(SynthUI)
};

UI* createUI() { return new SynthUI(); }

END_NAMESPACE_DISTRHO
