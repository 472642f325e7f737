-- Prints how many frames mpv dropped, when the file is unloaded (the playback benchmark reads it).
mp.add_hook("on_unload", 50, function()
    io.stdout:write(string.format("frames dropped: %d (decoder %d)\n",
        mp.get_property_number("frame-drop-count", -1),
        mp.get_property_number("decoder-frame-drop-count", -1)))
end)
