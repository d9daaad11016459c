-- Renders a mono WAV through an LXVST or LV2 plug-in in a headless Ardour 7
-- session (dummy backend, no audio hardware): one mono track whose first
-- processor is the plug-in, bounced through it; each plug-in output becomes a
-- mono 32-bit float WAV, OUT_PREFIX-1.wav and OUT_PREFIX-2.wav.
--   ardour7-lua render.lua SESSION_DIR IN.wav OUT_PREFIX PLUGIN [INDEX=VALUE...]
-- PLUGIN is an LXVST plug-in's name, or LV2: and an LV2 plug-in's URI. VALUE
-- is a VST parameter's normalised value, an LV2 control port's own value.
-- An LXVST plug-in must be in LXVST_PATH and in Ardour's scan cache
-- (ardour-vst-scanner): luasession never scans; an LV2 one in LV2_PATH.
-- Ardour bounces in host blocks of 8192 frames whatever the engine's size,
-- and leaves out as many frames at the start as the plug-in reports as its
-- latency (their place is taken by as many after the end).
local dir, input, output, plugin_name = arg[1], arg[2], arg[3], arg[4]
local plugin_type = ARDOUR.PluginType.LXVST
if plugin_name:sub(1, 4) == "LV2:" then
  plugin_type, plugin_name = ARDOUR.PluginType.LV2, plugin_name:sub(5)
end
local name = "render"
local source_id, region_id = "4000000001", "4000000002"

local function fail(msg) error("render.lua: " .. msg, 0) end

local function read_file(path)
  local f = assert(io.open(path, "rb"))
  local data = f:read("a")
  f:close()
  return data
end

-- rate, frames and channels from the WAV header: the region needs the length
local function wav_info(path)
  local d = read_file(path)
  if d:sub(1, 4) ~= "RIFF" or d:sub(9, 12) ~= "WAVE" then fail(path .. ": not a WAV file") end
  local pos, chans, rate, bits = 13
  while pos + 8 <= #d do
    local id, size = d:sub(pos, pos + 3), string.unpack("<I4", d, pos + 4)
    if id == "fmt " then
      chans, rate = string.unpack("<I2I4", d, pos + 10)
      bits = string.unpack("<I2", d, pos + 22)
    elseif id == "data" and chans then
      return rate, size // (chans * bits // 8), chans
    end
    pos = pos + 8 + size + size % 2
  end
  fail(path .. ": no data chunk")
end

-- Lua must hold no session object when the session closes: one released
-- later is destroyed against freed memory.
local function close()
  collectgarbage()
  close_session()
end

-- The session with the track and the plug-in; returns the playlist's id.
local function make_session(rate)
  if not create_session(dir, name, rate) then fail("cannot create the session") end
  local track = Session:new_audio_track(1, 2, nil, 1, "In", ARDOUR.PresentationInfo.max_order,
                                        ARDOUR.TrackMode.Normal, true):front()
  local plugin = ARDOUR.LuaAPI.new_plugin(Session, plugin_name, plugin_type, "")
  if plugin:isnil() then fail("Ardour does not know the plug-in '" .. plugin_name .. "'") end
  if track:add_processor_by_index(plugin, 0, nil, true) ~= 0 then fail("cannot insert the plug-in") end
  for i = 5, #arg do
    local index, value = arg[i]:match("^(%d+)=(.+)$")
    if not ARDOUR.LuaAPI.set_processor_param(plugin, tonumber(index), tonumber(value)) then
      fail("cannot set parameter " .. arg[i])
    end
  end
  Session:cfg():set_use_region_fades(false)
  Session:cfg():set_native_file_data_format(ARDOUR.SampleFormat.Float)
  Session:cfg():set_native_file_header_format(ARDOUR.HeaderFormat.WAVE)
  local playlist = track:playlist():to_stateful():id():to_s()
  Session:save_state("", false, false, false, false, false)
  return playlist
end

-- Ardour 7.3's Lua has no import: the WAV goes into the session file as an
-- external source (its absolute path) with one region at 0 on the playlist.
local function add_region(playlist, frames)
  local file = dir .. "/" .. name .. ".ardour"
  local xml, n1, n2 = read_file(file)
  xml, n1 = xml:gsub("<Sources/>", string.format(
    '<Sources><Source name="%s" type="audio" flags="" id="%s" channel="0" origin=""/></Sources>',
    input, source_id), 1)
  xml, n2 = xml:gsub('(<Playlist id="' .. playlist .. '"[^>]*)/>', function(head)
    return head .. string.format('><Region name="in" id="%s" type="audio" position="a0" start="a0"'
      .. ' length="%s" layering-index="0" muted="0" opaque="1" whole-file="0" channels="1"'
      .. ' scale-amplitude="1" envelope-active="0" fade-in-active="0" fade-out-active="0"'
      .. ' source-0="%s" master-source-0="%s"/></Playlist>',
      region_id, Temporal.timecnt_t(frames):str(), source_id, source_id)
  end, 1)
  if n1 ~= 1 or n2 ~= 1 then fail("unexpected session file layout") end
  local f = assert(io.open(file, "wb"))
  f:write(xml)
  f:close()
end

-- Bounces the region through the track's processors up to its outputs: the
-- plug-in, then the fader at unity, which leaves the samples as they are.
-- Returns the two files written, one per channel.
local function bounce(frames)
  if not load_session(dir, name) then fail("cannot load the session") end
  local track = Session:route_by_name("In"):to_track()
  local region = track:playlist():region_by_id(PBD.ID(region_id))
  if region:isnil() or region:length():samples() ~= frames then fail("the region did not load whole") end
  local out = track:bounce_range(0, frames, ARDOUR.InterThreadInfo(), track:main_outs(), false, "bounce")
  if out:isnil() or out:length():samples() ~= frames then fail("the bounce failed") end
  local sources = out:to_audioregion():n_channels()
  if sources ~= 2 then fail("the bounce has " .. sources .. " channels, not the plug-in's 2") end
  return { out:source(0):to_filesource():path(), out:source(1):to_filesource():path() }
end

local rate, frames, chans = wav_info(input)
if chans ~= 1 then fail("the input must be mono") end
AudioEngine:set_backend("None (Dummy)", "", "")
AudioEngine:set_sample_rate(rate)
if AudioEngine:start(false) ~= 0 then fail("cannot start the dummy engine") end

local playlist = make_session(rate)
close()
add_region(playlist, frames)
local files = bounce(frames)
close()
for c, path in ipairs(files) do
  if not os.rename(path, string.format("%s-%d.wav", output, c)) then fail("cannot move " .. path) end
end
print(string.format("render.lua: bounced %d frames at %d Hz through %s", frames, rate, plugin_name))
