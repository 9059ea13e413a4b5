// Sound output over PortAudio, on the default output device of one of its
// host APIs: ALSA on Linux, WASAPI or MME on Windows.
//
// A stream calls its callback from the audio library's thread with exactly
// `frames` frames to fill each time, from sound_start until sound_stop. A
// mono stream is heard on both speakers of a two-channel device. Every other
// call comes from one thread, the program's main thread.
#pragma once

#include <string>
#include <vector>

enum class sound_host { alsa, wasapi, mme };

enum class sample_format { int16, float32 };

struct sound_format {
    int channels = 1; // 1 or 2, interleaved
    sample_format format = sample_format::int16;
    int rate = 44100;  // frames per second
    int frames = 256;  // frames per callback
};

// Fills `frames` frames of the stream's format at `out`. Runs on the audio
// library's thread: it must not allocate, lock, block or do I/O.
using sound_callback = void (*)(void* out, int frames, void* user);

// Why an open or start failed.
enum sound_error_code {
    sound_ok = 0,
    sound_no_library = 1,  // PortAudio could not be brought up
    sound_no_device = 2,   // the host API has no output device
    sound_refused = 3,     // the device does not take this format or rate
    sound_not_started = 4, // the device took the stream but would not start it
};

struct sound_stream;

// Opens the stream on the host API's default output device; null, with the
// reason in *error, when it cannot be had. Nothing runs until sound_start.
sound_stream* sound_open(sound_host host, const sound_format& format, sound_callback callback, void* user,
                         sound_error_code* error);
// False, with the reason in *error, when the stream would not start.
bool sound_start(sound_stream* stream, sound_error_code* error);
// No callback runs once this returns. A null or stopped stream is fine.
void sound_stop(sound_stream* stream);
// Stops, closes and frees the stream; null is fine.
void sound_close(sound_stream* stream);
// The name of the device the stream plays on.
std::string sound_device(const sound_stream* stream);

// The names of the host API's output devices, the default first.
std::vector<std::string> sound_outputs(sound_host host);
