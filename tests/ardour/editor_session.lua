-- Makes an Ardour 7 session that opens an LXVST or LV2 plug-in's editor as
-- the GUI loads it: one mono track whose first processor is the plug-in, on
-- the dummy backend, and the plug-in's window marked open in the session's UI
-- state (as Ardour saves it when a session is closed with the window open).
--   ardour7-lua editor_session.lua SESSION_DIR NAME PLUGIN
-- PLUGIN is an LXVST plug-in's name (it must be in LXVST_PATH and in
-- Ardour's scan cache), or LV2: and an LV2 plug-in's URI (in LV2_PATH).
local dir, name, plugin_name = arg[1], arg[2], arg[3]
local plugin_type = ARDOUR.PluginType.LXVST
if plugin_name:sub(1, 4) == "LV2:" then
  plugin_type, plugin_name = ARDOUR.PluginType.LV2, plugin_name:sub(5)
end

local function fail(msg) error("editor_session.lua: " .. msg, 0) end

-- The same engine as the GUI's configuration names, so that loading the
-- session finds nothing changed.
AudioEngine:set_backend("None (Dummy)", "", "")
AudioEngine:set_sample_rate(44100)
if AudioEngine:start(false) ~= 0 then fail("cannot start the dummy engine") end
if not create_session(dir, name, 44100) then fail("cannot create the session") end

local track = Session:new_audio_track(1, 2, nil, 1, "In", ARDOUR.PresentationInfo.max_order,
                                      ARDOUR.TrackMode.Normal, true):front()
local plugin = ARDOUR.LuaAPI.new_plugin(Session, plugin_name, plugin_type, "")
if plugin:isnil() then fail("Ardour does not know the plug-in '" .. plugin_name .. "'") end
if track:add_processor_by_index(plugin, 0, nil, true) ~= 0 then fail("cannot insert the plug-in") end
-- Ardour names a processor's window P-<route id>-<processor id>.
local window = "P-" .. track:to_stateful():id():to_s() .. "-" .. plugin:to_stateful():id():to_s()
Session:save_state("", false, false, false, false, false)
-- Lua must hold no session object when the session closes.
track, plugin = nil, nil
collectgarbage()
close_session()

local file = dir .. "/" .. name .. ".ardour"
local f = assert(io.open(file, "rb"))
local xml = f:read("a")
f:close()
-- A session with UI state of its own already would need merging.
if xml:find("<Extra", 1, true) then fail("unexpected session file layout: <Extra> present") end
local n
xml, n = xml:gsub("</Session>%s*$", '  <Extra>\n    <UI>\n      <Window name="' .. window
  .. '" visible="1" custom-ui="1"/>\n    </UI>\n  </Extra>\n</Session>\n', 1)
if n ~= 1 then fail("unexpected session file layout: no </Session> at the end") end
f = assert(io.open(file, "wb"))
f:write(xml)
f:close()
print("editor_session.lua: " .. file .. " opens " .. plugin_name .. "'s window " .. window)
