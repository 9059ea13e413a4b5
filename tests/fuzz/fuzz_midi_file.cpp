// Fuzz target: the MIDI file reader on arbitrary bytes. What it returns must
// be in time order, at samples from 0 on, and channel messages with data bytes
// below 0x80; a refusal is one line. The events are then played through the
// engine (gaps shortened) and every sample checked.
#include <algorithm>
#include <string>

#include "files/midi_file.h"
#include "engine/notes.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string error;
    const auto events = read_midi_data(data, size, 44100, &error);
    if (!events) {
        FUZZ_CHECK(!error.empty() && error.find('\n') == std::string::npos);
        return 0;
    }
    int64_t last = 0;
    for (const midi_event& e : *events) {
        FUZZ_CHECK(e.sample >= last);
        last = e.sample;
        const uint32_t status = e.message & 0xFF;
        FUZZ_CHECK(status >= 0x80 && status < 0xF0);
        FUZZ_CHECK((e.message & 0xFF808000) == 0);
        if ((status & 0xE0) == 0xC0) FUZZ_CHECK((e.message >> 16) == 0);
    }
    std::string again;
    FUZZ_CHECK(read_midi_data(data, size, 44100, &again) && again.empty());

    const std::vector<midi_event>& played = *events;
    check_every_sample([&](sink& out) {
        out.engine.set(param_id(0, K_CHANNEL), 0); // every channel
        int64_t at = 0;
        for (const midi_event& e : played) {
            if (e.sample > at) out.stream(int(std::min<int64_t>(e.sample - at, 256)));
            at = e.sample;
            send(out.engine, e.message);
        }
        out.until_silent(4096);
    });
    return 0;
}
