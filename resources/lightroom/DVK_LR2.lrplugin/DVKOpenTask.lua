-- Opens the raw masters (RAW or DNG) of the exported photos in DVK, all in one
-- request; says so when none of them is a raw file.
local LrPathUtils = import "LrPathUtils"
local LrFileUtils = import "LrFileUtils"
local LrErrors = import "LrErrors"
local LrDialogs = import "LrDialogs"
local LrShell = import "LrShell"

DVKOpenTask = {}

function DVKOpenTask.processRenderedPhotos(functionContext, exportContext)
    local exportSession = exportContext.exportSession
    local files = nil
    local count = 0
    exportSession.catalog:withReadAccessDo(function()
        files = { "-b", "org.dvk.DVK" }
        for _, photo in ipairs(exportSession:photosToExport()) do
            local master = photo:getRawMetadata("masterPhoto") or photo
            local format = master:getRawMetadata("fileFormat")
            if format == "RAW" or format == "DNG" then
                files[#files + 1] = master:getRawMetadata("path")
                count = count + 1
            end
        end
    end)
    if count > 0 then
        LrShell.openFilesInApp(files, "/usr/bin/open")
    else
        LrDialogs.message("DVK Plug-in", "No files in raw format selected.", "info")
    end
end
