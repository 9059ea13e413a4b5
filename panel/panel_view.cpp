#include "panel/panel_view.h"

#include <algorithm>

namespace {

constexpr uint32_t WHITE = 0xFFFFFF, BLACK = 0;

int slider_max(int row) { return param_kinds[param_at(panel_layout[size_t(row)].target).kind].slider_max; }

} // namespace

panel_view::panel_view(const pixels& up, const pixels& down) : up_(up), down_(down), image_(up) {
    for (int r = 0; r < PANEL_WIDGETS; ++r) {
        const panel_widget& w = panel_layout[size_t(r)];
        if (w.kind != widget_kind::slider) continue;
        position_[r] = slider_position_of(param_at(w.target).kind, param_start(w.target));
        draw_widget(r);
    }
    draw_widget(mode_row(0));
    dirty_ = {0, 0, PANEL_W, PANEL_H};
}

void panel_view::touch(int row) {
    const panel_widget& w = panel_layout[size_t(row)];
    if (dirty_.w == 0) {
        dirty_ = {w.x, w.y, w.w, w.h};
        return;
    }
    const int x1 = std::min(dirty_.x, w.x), y1 = std::min(dirty_.y, w.y);
    const int x2 = std::max(dirty_.x + dirty_.w, w.x + w.w), y2 = std::max(dirty_.y + dirty_.h, w.y + w.h);
    dirty_ = {x1, y1, x2 - x1, y2 - y1};
}

void panel_view::draw_widget(int row) {
    const panel_widget& w = panel_layout[size_t(row)];
    switch (w.kind) {
    case widget_kind::slider: draw_slider(image_, w, slider_max(row), position_[row], WHITE, BLACK); break;
    case widget_kind::radio:
        image_.copy_from(w.target == mode_ ? down_ : up_, w.x, w.y, w.w, w.h);
        break;
    case widget_kind::button: image_.copy_from(row == pressed_ ? down_ : up_, w.x, w.y, w.w, w.h); break;
    default: return;
    }
    touch(row);
}

bool panel_view::show(int param, double value) {
    if (param == param_id(0, K_MODE)) {
        const int mode = std::clamp(int(value), 0, LAYERINGS - 1);
        if (mode == mode_) return false;
        const int old = mode_;
        mode_ = mode;
        draw_widget(mode_row(old));
        draw_widget(mode_row(mode));
        return true;
    }
    for (int r = 0; r < PANEL_WIDGETS; ++r) {
        const panel_widget& w = panel_layout[size_t(r)];
        if (w.kind != widget_kind::slider || w.target != param) continue;
        const int p = slider_position_of(param_at(param).kind, value);
        if (p == position_[r]) return false;
        position_[r] = p;
        draw_widget(r);
        return true;
    }
    return false;
}

panel_view::press panel_view::mouse_down(int x, int y) {
    press result;
    for (int r = 0; r < PANEL_WIDGETS; ++r) {
        const panel_widget& w = panel_layout[size_t(r)];
        if (!inside(w, x, y)) continue;
        switch (w.kind) {
        case widget_kind::slider:
            held_ = r;
            result.what = press::slider;
            result.param = w.target;
            result.changed = mouse_drag(x, y, result.param, result.value);
            if (!result.changed) result.value = slider_value(param_at(w.target).kind, position_[r]);
            return result;
        case widget_kind::radio:
            result.what = press::mode;
            result.param = param_id(0, K_MODE);
            result.value = w.target;
            show(result.param, w.target);
            return result;
        case widget_kind::button:
            pressed_ = r;
            draw_widget(r);
            result.what = press::file;
            result.action = w.target;
            return result;
        default: break;
        }
    }
    return result;
}

bool panel_view::mouse_drag(int x, int y, int& param, double& value) {
    if (held_ < 0) return false;
    const panel_widget& w = panel_layout[size_t(held_)];
    const int p = slider_position_at(w, slider_max(held_), x, y);
    if (p == position_[held_]) return false;
    position_[held_] = p;
    draw_widget(held_);
    param = w.target;
    value = slider_value(param_at(w.target).kind, p);
    return true;
}

void panel_view::mouse_up() {
    held_ = -1;
    if (pressed_ >= 0) {
        const int r = pressed_;
        pressed_ = -1;
        draw_widget(r);
    }
}

panel_view::rect panel_view::take_dirty() {
    const rect r = dirty_;
    dirty_ = {0, 0, 0, 0};
    return r;
}
