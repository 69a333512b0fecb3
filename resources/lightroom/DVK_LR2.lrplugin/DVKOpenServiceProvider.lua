-- The export service: no rendering of its own (original files, no export
-- sections); the selected photos go to DVKOpenTask.
local LrView = import "LrView"

require "DVKOpenTask"

return {
    hideSections = { "exportLocation", "fileNaming", "fileSettings", "imageSettings", "outputSharpening", "metadata" },
    allowFileFormats = { "ORIGINAL" },
    allowColorSpaces = nil,
    processRenderedPhotos = DVKOpenTask.processRenderedPhotos,
}
