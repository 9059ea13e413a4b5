#include "panel/callbacks.h"

#include <array>
#include <utility>

#include "engine/engine.h"

namespace {

// One definition for every slider: the table's conversion of the position,
// handed to the slider's engine through its door.
template <int ID> int set(void* engine, int p) {
    if (engine) static_cast<synth_engine*>(engine)->set(ID, slider_value(param_at(ID).kind, p));
    return 0;
}

template <int... ID>
constexpr std::array<slider_callback, sizeof...(ID)> callbacks(std::integer_sequence<int, ID...>) {
    return {set<ID>...};
}

constexpr auto table = callbacks(std::make_integer_sequence<int, PARAM_COUNT>{});

} // namespace

slider_callback param_callback(int instrument, int kind, int oscillator) {
    const int id = param_id(instrument, kind, oscillator);
    return id >= 0 && id < PARAM_COUNT ? table[size_t(id)] : nullptr;
}
