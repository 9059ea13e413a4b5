-- An Ardour session for the plugin's test in Ardour (test_plugin_ardour.cpp),
-- run by ardour7-lua on the dummy back-end: one MIDI track with the synth
-- VST3 plugin, its first parameter read back, a factory program loaded on
-- instrument 2 (which once hung Ardour) and read back, vibrato set on
-- instrument 1's first oscillator, saved as SESSION_DIR/sess.ardour.
ARDOUR.config():set_hide_dummy_backend(false)
AudioEngine:set_backend("None (Dummy)", "", "")
create_session(os.getenv("SESSION_DIR"), "sess", 44100)
local info = ARDOUR.LuaAPI.new_plugin_info("synth", ARDOUR.PluginType.VST3)
assert(not info:isnil(), "Ardour does not know the synth VST3 plugin")
local tracks = Session:new_midi_track(ARDOUR.ChanCount(ARDOUR.DataType("midi"), 1),
  ARDOUR.ChanCount(ARDOUR.DataType("audio"), 2), true, info, nil, nil, 1, "synth",
  ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, true)
local proc = tracks:front():nth_plugin(0)
local plugin = proc:to_insert():plugin(0)
local function param(label)
  for i = 0, plugin:parameter_count() - 1 do
    if plugin:parameter_label(i) == label then return i end
  end
  error("no parameter " .. label)
end
local function value(label) return ARDOUR.LuaAPI.get_processor_param(proc, param(label), true) end

print("first parameter", value("Instrument 1, oscillator 0 volume"))
local preset = plugin:preset_by_label("Instrument 2: Church Organ")
assert(preset, "no program Instrument 2: Church Organ")
assert(plugin:load_preset(preset), "the program did not load")
print("program", value("Instrument 2, oscillator 0 volume"), value("Instrument 2, oscillator 1 volume"),
  value("Instrument 1, oscillator 0 volume"))
ARDOUR.LuaAPI.set_processor_param(proc, param("Instrument 1, oscillator 0 vibrato depth"), 0.5)
ARDOUR.LuaAPI.usleep(1000000) -- the track is wired to the master bus meanwhile
Session:save_state("", false, false, false, false, false)
close_session()
print("saved")
