// Reading settings files of many distinct keys, as read_settings_file reads
// them (text, or an XML property list), up to the largest file it takes.
//
// Items are keys. BM_ReadSettingsText/N reads a settings text of N keys
// ("k0000001 1"). BM_ReadSettingsPlist/N/C reads an XML property list of N
// keys, with C 1 keys that share libplist's key hash (its dictionary table
// then compares each key with every earlier one); 4472 is the most one
// dictionary may hold. BM_ReadLargestSettingsFile/F fills the whole size limit
// with the shortest distinct keys: F 0 a text (read), F 1 a property list
// (refused for its keys: the time to say so).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "pipeline/settings/settings_file.h"
#include "platform/regular_file.h"

namespace {

namespace fs = std::filesystem;

std::string key_name(std::size_t i) {
    char name[32];
    std::snprintf(name, sizeof name, "k%07zu", i);
    return name;
}

// Keys of 34 letters made of the pairs "Ez" and "FY", which add the same to
// a times-33 string hash wherever they stand: all keys hash alike.
std::string colliding_key_name(std::size_t i) {
    std::string name;
    for (int bit = 0; bit < 17; ++bit) name += (i >> bit) & 1 ? "FY" : "Ez";
    return name;
}

std::string settings_text(std::size_t keys) {
    std::string text;
    for (std::size_t i = 0; i < keys; ++i) text += key_name(i) + " 1\n";
    return text;
}

const char kPlistHead[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n";
const char kPlistTail[] = "</dict>\n</plist>\n";

std::string plist_text(std::size_t keys, bool colliding) {
    std::string text = kPlistHead;
    for (std::size_t i = 0; i < keys; ++i)
        text += "<key>" + (colliding ? colliding_key_name(i) : key_name(i)) + "</key><string>1</string>\n";
    return text + kPlistTail;
}

// As many distinct keys of four letters as the size limit takes: a key and a
// blank on each line (the key gets the empty string), or each key with an
// empty string in a property list.
std::string largest_file(bool plist, std::size_t* keys) {
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    const std::string tail = plist ? kPlistTail : "";
    std::string text = plist ? kPlistHead : "";
    std::size_t n = 0;
    for (std::size_t i = 0;; ++i) {
        std::string key(4, 'a');
        std::size_t rest = i;
        for (char& c : key) {
            c = kLetters[rest % 52];
            rest /= 52;
        }
        const std::string line = plist ? "<key>" + key + "</key><string/>\n" : key + " \n";
        if (text.size() + line.size() + tail.size() > dvk::kSettingsFileMaxBytes) break;
        text += line;
        ++n;
    }
    *keys = n;
    return text + tail;
}

// Reads `text` from a file: each time all `keys`, or (refused) never.
void read_file(benchmark::State& state, const std::string& text, std::size_t keys, bool refused = false) {
    const fs::path path = fs::temp_directory_path() / ("dvk-settings-bench-" + std::to_string(keys) + ".dvks");
    std::ofstream(path, std::ios::binary) << text;
    for (auto _ : state) {
        std::string error;
        const auto dict = dvk::read_settings_file(path.string(), &error);
        if (refused ? dict.has_value() : !dict || dict->size() != keys) {
            state.SkipWithError((refused ? "read, though refused before" : "not read whole: " + error).c_str());
            break;
        }
        benchmark::DoNotOptimize(dict);
    }
    fs::remove(path);
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * keys));
    state.counters["bytes"] = static_cast<double>(text.size());
}

void BM_ReadSettingsText(benchmark::State& state) {
    const auto keys = static_cast<std::size_t>(state.range(0));
    read_file(state, settings_text(keys), keys);
}
BENCHMARK(BM_ReadSettingsText)->Arg(1000)->Arg(20000)->Arg(200000)->Unit(benchmark::kMillisecond);

void BM_ReadSettingsPlist(benchmark::State& state) {
    const auto keys = static_cast<std::size_t>(state.range(0));
    read_file(state, plist_text(keys, state.range(1) != 0), keys);
}
BENCHMARK(BM_ReadSettingsPlist)
    ->Args({1000, 0})
    ->Args({4472, 0})
    ->Args({4472, 1})
    ->Unit(benchmark::kMillisecond);

void BM_ReadLargestSettingsFile(benchmark::State& state) {
    const bool plist = state.range(0) != 0;
    std::size_t keys = 0;
    const std::string text = largest_file(plist, &keys);
    read_file(state, text, keys, plist);
}
BENCHMARK(BM_ReadLargestSettingsFile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
