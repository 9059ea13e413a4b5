// What the plugin framework (DPF) needs to know of the plugin at compile
// time: its names, its ports and the features it uses. Every format (LV2,
// VST3, CLAP) is generated around the one class in synth_plugin.cpp.
#pragma once

#define DISTRHO_PLUGIN_NAME "synth"
// The URI earlier releases gave the LV2 plugin: saved sessions and presets find it by it.
#define DISTRHO_PLUGIN_URI "urn:synth:additive"
#define DISTRHO_PLUGIN_CLAP_ID "org.example.synth.additive"

// No window of its own yet: hosts show their generic controls.
#define DISTRHO_PLUGIN_HAS_UI 0
#define DISTRHO_PLUGIN_IS_RT_SAFE 1
#define DISTRHO_PLUGIN_IS_SYNTH 1
#define DISTRHO_PLUGIN_NUM_INPUTS 0
#define DISTRHO_PLUGIN_NUM_OUTPUTS 2
#define DISTRHO_PLUGIN_WANT_MIDI_INPUT 1
#define DISTRHO_PLUGIN_WANT_TIMEPOS 1
// The factory instruments, each for either instrument.
#define DISTRHO_PLUGIN_WANT_PROGRAMS 1
// Those presets are written by plugin/make_presets.cpp for LV2 (each sets
// one instrument's controls, under the URIs earlier releases gave them).
#define DISTRHO_PLUGIN_LV2_PRESETS_OF_ITS_OWN 1

#define DISTRHO_PLUGIN_VST3_CATEGORIES "Instrument|Synth"
#define DISTRHO_PLUGIN_CLAP_FEATURES "instrument", "synthesizer", "stereo"
