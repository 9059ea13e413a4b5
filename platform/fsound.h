// Sound output: the small set of stream calls the program makes, over PortAudio.
//
// Output type 7 (FSOUND_OUTPUT_ASIO) stands for the platform's low-latency
// output: JACK when a JACK server answers, otherwise ALSA's default device.
// A stream calls its callback from the audio library's own thread with a
// buffer of exactly `length` bytes each time, for as long as it plays.
#pragma once

struct FSOUND_STREAM;

typedef signed char (*FSOUND_STREAMCALLBACK)(FSOUND_STREAM* stream, void* buff, int len, int param);

enum {
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
    FMOD_ERR_INIT = 3,          // the output could not be started
    FMOD_ERR_OUTPUT_FORMAT = 6, // an output type or stream format we cannot give
    FMOD_ERR_INVALID_PARAM = 14,
    FMOD_ERR_MEMORY = 10,
};

signed char FSOUND_SetOutput(int outputtype);
signed char FSOUND_SetDriver(int driver);
signed char FSOUND_Init(int mixrate, int maxsoftwarechannels, unsigned int flags);
int FSOUND_GetError();
FSOUND_STREAM* FSOUND_Stream_Create(FSOUND_STREAMCALLBACK callback, int length, unsigned int mode,
                                    int samplerate, int userdata);
int FSOUND_Stream_Play(int channel, FSOUND_STREAM* stream);
signed char FSOUND_Stream_Close(FSOUND_STREAM* stream);
void FSOUND_Close();
