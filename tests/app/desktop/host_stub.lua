-- Runs the plug-in's chunks against stand-ins of the host's modules and
-- prints every call they make, one line each, fields split by "|".
-- usage: lua5.1 host_stub.lua CHUNK_FOLDER PRESET_FILE
local folder, preset = arg[1], arg[2]

local function record(...)
    local t = {}
    for i = 1, select("#", ...) do t[i] = tostring((select(i, ...))) end
    print(table.concat(t, "|"))
end

local modules = {
    LrView = {}, LrPathUtils = {}, LrFileUtils = {}, LrErrors = {},
    LrDialogs = { message = function(title, text, kind) record("message", title, text, kind) end },
    LrShell = { openFilesInApp = function(files, app) record("open", app, unpack(files)) end },
}
function import(name)
    record("import", name)
    return assert(modules[name], name)
end
package.path = folder .. "/?.lua"

local info = dofile(folder .. "/Info.lua")
local provider = info.LrExportServiceProvider
record("info", info.LrSdkVersion, info.LrSdkMinimumVersion, info.LrToolkitIdentifier, info.LrPluginName,
       provider.title, provider.file, info.VERSION.major, info.VERSION.minor, info.VERSION.revision, info.VERSION.build)

local service = dofile(folder .. "/" .. provider.file)
record("hide", unpack(service.hideSections))
record("formats", unpack(service.allowFileFormats))
record("colorspaces", service.allowColorSpaces)

local function photo(format, path, master)
    local p = { format = format, path = path, master = master }
    function p:getRawMetadata(key)
        if key == "fileFormat" then return self.format end
        if key == "path" then return self.path end
        if key == "masterPhoto" then return self.master or self end
        error("unexpected key " .. key)
    end
    return p
end
local function context(photos)
    local catalog = {}
    function catalog:withReadAccessDo(f)
        record("read access")
        f()
        record("read access ended")
    end
    local session = { catalog = catalog }
    function session:photosToExport() return photos end
    return { exportSession = session }
end

local raw = photo("RAW", "/photos/a b.NEF")
service.processRenderedPhotos({}, context({
    raw, photo("JPEG", "/photos/b.jpg"), photo("DNG", "/photos/c.dng"), photo("JPEG", "/photos/copy.jpg", raw) }))
service.processRenderedPhotos({}, context({ photo("JPEG", "/photos/b.jpg"), photo("TIFF", "/photos/t.tif") }))

local env = {}
local chunk = assert(loadfile(preset))
setfenv(chunk, env)
chunk()
local s = env.s
record("preset", s.internalName, s.title, s.type, s.value.exportServiceProvider, s.value.exportServiceProviderTitle,
       s.value.tokens, s.version)
