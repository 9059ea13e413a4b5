// What the plugin framework (DPF) needs to know of the plugin at compile
// time: its names, its ports and the features it uses. Every format (LV2,
// VST3, CLAP) is generated around the one class in synth_plugin.cpp.
#pragma once

#define DISTRHO_PLUGIN_NAME "synth"
// The URI earlier releases gave the LV2 plugin: saved sessions and presets find it by it.
#define DISTRHO_PLUGIN_URI "urn:synth:additive"
#define DISTRHO_PLUGIN_CLAP_ID "org.example.synth.additive"

// Its own window: the panel (synth_ui.cpp), drawn with plain OpenGL, with
// the framework's file dialog for the Save and Load buttons.
#define DISTRHO_PLUGIN_HAS_UI 1
#define DISTRHO_UI_USE_NANOVG 0
#define DISTRHO_UI_FILE_BROWSER 1
#define DISTRHO_UI_USER_RESIZABLE 0
#define DISTRHO_UI_DEFAULT_WIDTH 1024
#define DISTRHO_UI_DEFAULT_HEIGHT 768
// One VST3 component that is its own edit controller, as without a window
// (the window never touches the plugin directly).
#define DISTRHO_PLUGIN_WANT_DIRECT_ACCESS 1
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
