// Sound output: the small set of stream calls the program makes, over PortAudio.
//
// Output type 7 (FSOUND_OUTPUT_ASIO) stands for the platform's low-latency
// output: JACK when a JACK server answers, otherwise ALSA's default device.
// A stream calls its callback from the audio library's own thread with a
// buffer of exactly `length` bytes each time, for as long as it plays.
#pragma once

#include <string>
#include <vector>

struct FSOUND_STREAM;

typedef signed char (*FSOUND_STREAMCALLBACK)(FSOUND_STREAM* stream, void* buff, int len, int param);

enum {
    FSOUND_OUTPUT_ALSA = 6, // ALSA's default device, even when a JACK server answers
    FSOUND_OUTPUT_ASIO = 7,
    FSOUND_16BITS = 0x10,
    FSOUND_MONO = 0x20,
    FSOUND_SIGNED = 0x100,
    FSOUND_FREE = -1,
};

// Error codes FSOUND_GetError gives.
enum {
    FMOD_ERR_NONE = 0,
    FMOD_ERR_UNINITIALIZED = 2, // a call that needs FSOUND_Init before it
    FMOD_ERR_INIT = 3,          // no output device could be had or started
    FMOD_ERR_PLAY = 5,          // the stream could not be opened or started
    FMOD_ERR_OUTPUT_FORMAT = 6, // an output type we cannot give
    FMOD_ERR_MEMORY = 12,
    FMOD_ERR_INVALID_PARAM = 14, // a null or unknown handle, a bad length, format or rate
};

// Chooses the output: FSOUND_OUTPUT_ASIO, or FSOUND_OUTPUT_ALSA for ALSA alone. TRUE (1) when JACK
// or an ALSA output device can be had now, otherwise FALSE.
signed char FSOUND_SetOutput(int outputtype);
// Driver 0 is the only driver of the output; TRUE for it, FALSE otherwise.
signed char FSOUND_SetDriver(int driver);
// Brings the output up. FALSE, with the reason in FSOUND_GetError, when no
// output device can be had. A second call while up changes nothing.
signed char FSOUND_Init(int mixrate, int maxsoftwarechannels, unsigned int flags);
// The reason for the latest failure, FMOD_ERR_NONE when nothing failed yet.
int FSOUND_GetError();
// A stream of `length` bytes per callback, signed 16-bit mono only. Null
// when it cannot be opened; playing or closing a null stream does nothing.
FSOUND_STREAM* FSOUND_Stream_Create(FSOUND_STREAMCALLBACK callback, int length, unsigned int mode,
                                    int samplerate, int userdata);
// Starts the callbacks; the channel it plays on (0), or -1.
int FSOUND_Stream_Play(int channel, FSOUND_STREAM* stream);
// Stops the callbacks (none runs once this returns) and frees the stream.
signed char FSOUND_Stream_Close(FSOUND_STREAM* stream);
// Closes every stream still open and takes the output down.
void FSOUND_Close();

// The host the output runs on: "JACK", "ALSA", or "" while none is up.
const char* fsound_output_host();

// The names of the ALSA output devices, the default first.
std::vector<std::string> fsound_alsa_outputs();
