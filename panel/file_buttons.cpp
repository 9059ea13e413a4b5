#include "panel/file_buttons.h"

#include <allegro.h>

#include "engine/engine.h"
#include "panel/dialog.h"

namespace {


// An alert line wider than this many characters would not fit its box on the screen.
constexpr std::size_t MAX_LINE = 90;

std::string shortened(std::string s) {
    if (s.size() > MAX_LINE) s = "..." + s.substr(s.size() - (MAX_LINE - 3));
    return s;
}

// The selector's path buffer: a fresh, empty one per call, so that the
// selector opens on the current folder every time.
constexpr int PATH_BUFFER = 1200;
constexpr int PATH_CAPACITY = 200;

// The selector lists folders and *.zpk files. Given a single extension it
// would also append it to a name typed without one; written as a list of one
// ("ZPK;") it filters the same and leaves the typed name exactly as it is.
bool choose(const char* title, char (&path)[PATH_BUFFER]) {
    path[0] = '\0';
    return file_select_ex(title, path, "ZPK;", PATH_CAPACITY, 640, 480) != 0;
}

void show_failure(const char* action, const std::string& path, const std::string& error) {
    failure_lines l = describe_failure(action, path, error);
    alert(l.what.c_str(), l.why.c_str(), nullptr, "OK", nullptr, 0, 0);
}

void save_with_selector(const synth_engine& e, int n, const char* title) {
    char path[PATH_BUFFER];
    if (!choose(title, path)) return;
    std::string error;
    if (!save_instrument(e, n, path, &error)) show_failure("Cannot save", path, error);
}

void load_with_selector(synth_engine& e, int n, const char* title) {
    char path[PATH_BUFFER];
    if (!choose(title, path)) return;
    std::string error;
    if (!load_instrument(e, n, path, &error)) show_failure("Cannot load", path, error);
}

} // namespace

void save1(synth_engine& e) { save_with_selector(e, 1, "Save Instrument 1"); }
void load1(synth_engine& e) { load_with_selector(e, 1, "Load Instrument 1"); }
void save2(synth_engine& e) { save_with_selector(e, 2, "Save Instrument 2"); }
void load2(synth_engine& e) { load_with_selector(e, 2, "Load Instrument 2"); }

bool save_instrument(const synth_engine& e, int n, const std::string& path, std::string* error) {
    return save_instrument_file(path, e.record(n), error);
}

bool load_instrument(synth_engine& e, int n, const std::string& path, std::string* error) {
    std::optional<instrument_record> stored = load_instrument_file(path, error);
    if (!stored) return false;
    e.load(n, *stored); // whole, at the start of the next block
    refresh_sliders(the_dialog, n, *stored);
    return true;
}

void refresh_sliders(DIALOG* dialog, int n, const instrument_record& stored) {
    const instrument_record p = slider_positions(stored);
    auto move = [&](int row, int position) {
        dialog[row].d2 = position;
        dialog[row].flags |= D_DIRTY;
    };
    for (int i = 0; i < INSTRUMENT_PARAMS; ++i) {
        const param_ref r = param_at(i);
        move(slider_row(n, r.kind, r.oscillator), p.at(r.kind, r.oscillator));
    }
}

void refresh_setting(DIALOG* dialog, const synth_engine& engine, int kind) {
    const int value = int(engine.get(param_id(0, kind)));
    if (kind == K_MODE) {
        for (int m = 0; m < LAYERINGS; ++m) {
            DIALOG& d = dialog[mode_row(m)];
            d.flags = (d.flags & ~D_SELECTED) | (m == value ? D_SELECTED : 0) | D_DIRTY;
        }
        return;
    }
    const int row = global_row(kind);
    if (row < 0) return;
    dialog[row].d2 = slider_position(kind, value);
    dialog[row].flags |= D_DIRTY;
}

failure_lines describe_failure(const std::string& action, const std::string& path,
                               const std::string& error) {
    failure_lines l;
    const std::size_t slash = path.find_last_of('/');
    l.what = shortened(action + " " + (slash == std::string::npos ? path : path.substr(slash + 1)));
    // The codec's messages read "<action> <path>: <reason>"; keep the reason.
    const std::string marker = path + ": ";
    std::size_t at = error.find(marker);
    l.why = shortened(at == std::string::npos ? error : error.substr(at + marker.size()));
    return l;
}
