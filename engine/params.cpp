#include "engine/params.h"
#include "engine/record.h"

#include <cmath>
#include <cstdio>
#include <limits>

std::string param_symbol(int id) {
    const param_ref r = param_at(id);
    const param_kind& k = param_kinds[r.kind];
    if (r.instrument == 0) return k.key;
    std::string s = "i" + std::to_string(r.instrument) + "_" + k.key;
    if (k.scope == param_scope::oscillator) s += std::to_string(r.oscillator);
    return s;
}

std::string param_name(int id) {
    const param_ref r = param_at(id);
    const param_kind& k = param_kinds[r.kind];
    if (r.instrument == 0) {
        std::string s = k.label;
        if (!s.empty() && s[0] >= 'a' && s[0] <= 'z') s[0] = char(s[0] - 'a' + 'A');
        return s;
    }
    std::string s = "Instrument " + std::to_string(r.instrument);
    if (k.scope == param_scope::oscillator) s += ", oscillator " + std::to_string(r.oscillator);
    return s + " " + k.label;
}

int param_by_symbol(const std::string& symbol) {
    for (int id = 0; id < PARAM_COUNT; ++id)
        if (param_symbol(id) == symbol) return id;
    return -1;
}

double param_start(int id) {
    const param_ref r = param_at(id);
    const param_kind& k = param_kinds[r.kind];
    if (r.oscillator == 0 && !std::isnan(k.start_first)) return k.start_first;
    return k.start[r.instrument == 2 ? 1 : 0];
}

double slider_value(int kind, int position) {
    const param_kind& k = param_kinds[kind];
    return k.offset + double(position) * k.mul / k.div;
}

int slider_position_of(int kind, double value) {
    const param_kind& k = param_kinds[kind];
    const double p = std::nearbyint((value - k.offset) * k.div / k.mul);
    if (!(p > 0.0)) return 0; // below the slider, or not a number
    return p > k.slider_max ? k.slider_max : int(p);
}

int32_t slider_position(int kind, int32_t stored) {
    const param_kind& k = param_kinds[kind];
    if (k.off && stored == k.off_value) return 0;
    const int64_t scale = k.file_scale;
    const int64_t p = (int64_t(stored) - int64_t(k.offset) * scale) * int64_t(k.div) /
                      (int64_t(k.mul) * scale);
    return int32_t(p < INT32_MIN ? INT32_MIN : p > INT32_MAX ? INT32_MAX : p);
}

namespace {

// The integer the instrument file stores for a slider position (levels in
// thousandths, truncated as the file's writer does).
int32_t stored_at(int kind, int position) {
    const param_kind& k = param_kinds[kind];
    const double v = engine_value(kind, slider_value(kind, position));
    return k.file_scale == 1000 ? int32_t(v * 1000.0) : int32_t(v);
}

std::string shown(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

} // namespace

bool on_slider(int kind, int32_t stored) {
    const int32_t p = slider_position(kind, stored);
    return p >= 0 && p <= param_kinds[kind].slider_max && stored_at(kind, p) == stored;
}

std::string slider_values(int kind) {
    const param_kind& k = param_kinds[kind];
    const int first = k.off ? 1 : 0; // position 0 is "none"
    std::string s = shown(slider_value(kind, first)) + " to " + shown(slider_value(kind, k.slider_max));
    if (k.unit && std::string(k.unit) == "frame") s += " samples";
    if (k.mul / k.div != 1.0) s += " in steps of " + shown(k.mul / k.div);
    return k.off ? "none, or " + s : s;
}

int slider_start(int id) {
    const param_ref r = param_at(id);
    const param_kind& k = param_kinds[r.kind];
    if (r.oscillator == 0 && !std::isnan(k.start_first))
        return slider_position(r.kind, int32_t(k.start_first * k.file_scale));
    return k.slider_start;
}

double clamp_param(int kind, double value) {
    const param_kind& k = param_kinds[kind];
    if (!(value == value)) return k.lo;
    double v = value < k.lo ? k.lo : value > k.hi ? k.hi : value;
    if (k.integer) return std::nearbyint(v);
    if (k.file_scale > 1) return std::nearbyint(v * k.file_scale) / k.file_scale;
    return v;
}

int32_t thousandths(double level) {
    double v = level * 1000.0;
    if (!(v == v)) return 0;
    if (v >= 2147483647.0) return INT32_MAX;
    if (v <= -2147483648.0) return INT32_MIN;
    return int32_t(v);
}

double record_engine_value(int kind, int32_t v) {
    return param_kinds[kind].file_scale == 1000 ? v / 1000.0 : double(v);
}

int32_t record_word(int kind, double v) {
    return param_kinds[kind].file_scale == 1000 ? thousandths(v) : int32_t(v);
}
