// HistoryMO: one record of the settings history (table "History2" of the
// store). A record is the values of the attributes below, typed as the
// attribute says (a null value is allowed for each), and the store's row id,
// its identity: two records are the same record when their ids are equal.
//
// Kinds of record, told by sourceFile: a file record (a path not ending in
// "/"), a folder default (a folder path ending in "/") and the camera's
// global default ("/").
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "pipeline/settings/settings_layer.h"
#include "pipeline/settings/settings_value.h"

namespace dvk {

enum class HistoryAttributeType { String, Double, Int, Bool, Date };

struct HistoryAttribute {
    const char* name;
    HistoryAttributeType type;
};

// Every attribute of a record, in the order the writer sets them (then
// noiseFilter and version, which only readers and the migration use).
const std::vector<HistoryAttribute>& historyAttributes();
const HistoryAttribute* findHistoryAttribute(std::string_view name);

// Seconds since 1970 now: the value of creationDate.
double historyNow();

class HistoryMO {
public:
    // 0: not stored yet.
    std::int64_t objectID() const { return id_; }
    void setObjectID(std::int64_t id) { id_ = id; }

    // Null for an attribute without a value. Unknown keys answer null.
    SettingsValue valueForKey(std::string_view key) const;
    // Stores the value converted to the attribute's type (null stays null).
    // Throws std::invalid_argument for a key that is no attribute.
    void setValueForKey(std::string_view key, const SettingsValue& value);
    const SettingsDictionary& values() const { return values_; }

    // Strings of the record, "" when null.
    std::string sourceFile() const { return valueForKey("sourceFile").description(); }
    std::string destinationFile() const { return valueForKey("destinationFile").description(); }
    std::string camera() const { return valueForKey("camera").description(); }
    std::string comment() const { return valueForKey("comment").description(); }
    double creationDate() const { return valueForKey("creationDate").double_value(); }

    bool isFolderDefault() const;  // sourceFile ends in "/" ("/" included)

    // The record as the settings layer reads it (RawProcessor::setSettings).
    KeyValueSource keyValueSource() const;

private:
    std::int64_t id_ = 0;
    SettingsDictionary values_;
};

}  // namespace dvk
