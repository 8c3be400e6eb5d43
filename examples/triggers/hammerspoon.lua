-- Hammerspoon: Control-Option-Space, or mouse button 4, opens Quorvane. Add this to
-- ~/.hammerspoon/init.lua and choose Reload Config. `open -a` lets macOS start Quorvane itself:
-- the Accessibility permission is then Quorvane's own, and a second press closes the switcher
-- instead of starting a second Quorvane.
local function openQuorvane()
  hs.task.new("/usr/bin/open", nil, { "-a", "Quorvane" }):start()
end

hs.hotkey.bind({ "ctrl", "alt" }, "space", openQuorvane)

-- Buttons count from 0 (left), so button 4 is 3; both its press and its release are kept from
-- other apps. This tap needs Hammerspoon's own permission in Privacy & Security → Accessibility
-- (on macOS 27, Device Control and Data Access), and a global keeps it from being collected.
local types = hs.eventtap.event.types
quorvaneButtonTap = hs.eventtap.new({ types.otherMouseDown, types.otherMouseUp }, function(event)
  if event:getProperty(hs.eventtap.event.properties.mouseEventButtonNumber) ~= 3 then
    return false
  end
  if event:getType() == types.otherMouseDown then
    openQuorvane()
  end
  return true
end)
quorvaneButtonTap:start()
