-- Prints "first-frame" when mpv has shown the file's first picture (its playback restart after
-- loading), then quits: the start-up benchmark times its arrival.
mp.register_event("playback-restart", function()
    io.stdout:write("first-frame\n")
    io.stdout:flush()
    mp.command("quit")
end)
