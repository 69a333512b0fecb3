-- The plug-in's information table: one export service, "Open Raw in DVK".
return {
    LrSdkVersion = 2.0,
    LrSdkMinimumVersion = 2.0,
    LrToolkitIdentifier = "org.dvk.lightroom.open",
    LrPluginName = "Open in DVK",
    LrExportServiceProvider = {
        title = "Open Raw in DVK",
        file = "DVKOpenServiceProvider.lua",
    },
    VERSION = { major = 2, minor = 1, revision = 0, build = 200001 },
}
