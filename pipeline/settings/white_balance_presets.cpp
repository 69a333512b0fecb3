#include "pipeline/settings/white_balance_presets.h"

#include <cstdlib>
#include <cstring>

#include "pipeline/settings/plist_node.h"
#include "pipeline/settings/settings_file.h"

namespace dvk {

namespace {

constexpr const char* kTopKey = "wbPresets";
constexpr const char* kPresetClass = "WhiteBalancePresets";

plist_t class_node(std::initializer_list<const char*> chain) {
    plist_t c = plist_new_dict();
    plist_dict_set_item(c, "$classname", plist_new_string(*chain.begin()));
    plist_t classes = plist_new_array();
    for (const char* name : chain) plist_array_append_item(classes, plist_new_string(name));
    plist_dict_set_item(c, "$classes", classes);
    return c;
}

// Objects of the archive: index 0 is the null object.
class ArchiveObjects {
public:
    ArchiveObjects() : objects_(plist_new_array()) { plist_array_append_item(objects_.get(), plist_new_string("$null")); }
    uint64_t add(plist_t node) {
        plist_array_append_item(objects_.get(), node);
        return count_++;
    }
    uint64_t reserve() { return add(plist_new_dict()); }
    void fill(uint64_t uid, plist_t node) { plist_array_set_item(objects_.get(), node, static_cast<uint32_t>(uid)); }
    uint64_t string(const std::string& s) { return add(plist_new_string(s.c_str())); }
    plist_t release() { return objects_.release(); }

private:
    PlistPtr objects_;
    uint64_t count_ = 1;
};

// Reading: a reference is a UID node, or (in XML read back) a dictionary
// whose only key is "CF$UID".
bool uid_of(plist_t node, uint64_t* uid) {
    if (!node) return false;
    if (plist_get_node_type(node) == PLIST_UID) {
        plist_get_uid_val(node, uid);
        return true;
    }
    if (plist_get_node_type(node) == PLIST_DICT) {
        plist_t v = plist_dict_get_item(node, "CF$UID");
        if (v && plist_get_node_type(v) == PLIST_UINT) {
            plist_get_uint_val(v, uid);
            return true;
        }
    }
    return false;
}

class ArchiveReader {
public:
    explicit ArchiveReader(plist_t objects) : objects_(objects) {}
    plist_t object(plist_t ref) const {
        uint64_t uid = 0;
        if (!uid_of(ref, &uid) || uid >= plist_array_get_size(objects_)) return nullptr;
        return plist_array_get_item(objects_, static_cast<uint32_t>(uid));
    }
    bool is_null_ref(plist_t ref) const {
        uint64_t uid = 1;
        return uid_of(ref, &uid) && uid == 0;
    }
    // A string-valued field: true with "" for the null object or a missing
    // key, false for anything that is no string.
    bool string_field(plist_t dict, const char* key, std::string* out) const {
        plist_t ref = plist_dict_get_item(dict, key);
        out->clear();
        if (!ref || is_null_ref(ref)) return true;
        plist_t obj = object(ref);
        if (!obj) return false;
        bool ok = false;
        *out = plist_string(obj, &ok);
        return ok;
    }
    std::string class_name(plist_t dict) const {
        plist_t c = object(plist_dict_get_item(dict, "$class"));
        if (!c || plist_get_node_type(c) != PLIST_DICT) return {};
        bool ok = false;
        return plist_string(plist_dict_get_item(c, "$classname"), &ok);
    }

private:
    plist_t objects_;
};

float float_field(plist_t dict, const char* key) {
    plist_t v = plist_dict_get_item(dict, key);
    if (!v) return 0;
    if (plist_get_node_type(v) == PLIST_REAL) {
        double d = 0;
        plist_get_real_val(v, &d);
        return static_cast<float>(d);
    }
    if (plist_get_node_type(v) == PLIST_UINT) {
        uint64_t u = 0;
        plist_get_uint_val(v, &u);
        return static_cast<float>(static_cast<int64_t>(u));
    }
    return 0;
}

}  // namespace

std::string archive_wb_presets(const WhiteBalancePresetList& presets) {
    ArchiveObjects objects;
    uint64_t array_uid = objects.reserve();
    PlistPtr refs(plist_new_array());
    uint64_t preset_class = 0;
    for (const auto& p : presets) {
        uint64_t uid = objects.reserve();
        plist_array_append_item(refs.get(), plist_new_uid(uid));
        plist_t dict = plist_new_dict();
        plist_dict_set_item(dict, "Camera", plist_new_uid(objects.string(p.camera)));
        plist_dict_set_item(dict, "PresetName", plist_new_uid(objects.string(p.presetName)));
        plist_dict_set_item(dict, "evRed", plist_new_real(p.red));
        plist_dict_set_item(dict, "evGreen", plist_new_real(p.green));
        plist_dict_set_item(dict, "evBlue", plist_new_real(p.blue));
        plist_dict_set_item(dict, "evGreen2", plist_new_real(p.green2));
        if (preset_class == 0) preset_class = objects.add(class_node({kPresetClass, "NSObject"}));
        plist_dict_set_item(dict, "$class", plist_new_uid(preset_class));
        objects.fill(uid, dict);
    }
    plist_t array = plist_new_dict();
    plist_dict_set_item(array, "NS.objects", refs.release());
    uint64_t array_class = objects.add(class_node({"NSMutableArray", "NSArray", "NSObject"}));
    plist_dict_set_item(array, "$class", plist_new_uid(array_class));
    objects.fill(array_uid, array);

    PlistPtr root(plist_new_dict());
    plist_dict_set_item(root.get(), "$version", plist_new_uint(100000));
    plist_dict_set_item(root.get(), "$archiver", plist_new_string("NSKeyedArchiver"));
    plist_t top = plist_new_dict();
    plist_dict_set_item(top, kTopKey, plist_new_uid(array_uid));
    plist_dict_set_item(root.get(), "$top", top);
    plist_dict_set_item(root.get(), "$objects", objects.release());
    return plist_xml_text(root.get());
}

std::optional<WhiteBalancePresetList> unarchive_wb_presets(std::string_view data) {
    PlistPtr root = plist_parse(data);
    if (!root || plist_get_node_type(root.get()) != PLIST_DICT) return std::nullopt;
    plist_t objects = plist_dict_get_item(root.get(), "$objects");
    plist_t top = plist_dict_get_item(root.get(), "$top");
    if (!objects || plist_get_node_type(objects) != PLIST_ARRAY || !top || plist_get_node_type(top) != PLIST_DICT)
        return std::nullopt;
    ArchiveReader reader(objects);
    plist_t array = reader.object(plist_dict_get_item(top, kTopKey));
    if (!array || plist_get_node_type(array) != PLIST_DICT) return std::nullopt;
    plist_t refs = plist_dict_get_item(array, "NS.objects");
    if (!refs || plist_get_node_type(refs) != PLIST_ARRAY) return std::nullopt;

    WhiteBalancePresetList out;
    uint32_t n = plist_array_get_size(refs);
    out.reserve(n);
    for (uint32_t i = 0; i < n; ++i) {
        plist_t obj = reader.object(plist_array_get_item(refs, i));
        if (!obj || plist_get_node_type(obj) != PLIST_DICT || reader.class_name(obj) != kPresetClass)
            return std::nullopt;
        WhiteBalancePresets p;
        if (!reader.string_field(obj, "Camera", &p.camera) || !reader.string_field(obj, "PresetName", &p.presetName))
            return std::nullopt;
        p.red = float_field(obj, "evRed");
        p.green = float_field(obj, "evGreen");
        p.blue = float_field(obj, "evBlue");
        p.green2 = float_field(obj, "evGreen2");
        out.push_back(std::move(p));
    }
    return out;
}

bool write_wb_presets_file(const std::string& path, const WhiteBalancePresetList& presets) {
    return write_file_atomically(path, archive_wb_presets(presets));
}

std::optional<WhiteBalancePresetList> read_wb_presets_file(const std::string& path) {
    std::optional<std::string> bytes = read_file_bytes(path);
    if (!bytes) return std::nullopt;
    return unarchive_wb_presets(*bytes);
}

}  // namespace dvk
