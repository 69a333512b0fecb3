// The rules of the settings history, free of any window.
//
// A file's default is the newest record of its camera (compared ignoring
// case) whose sourceFile is, in this order, the file itself, its folder with
// a trailing "/", each folder above with "/", or "/" (the camera's global
// default). A folder-default action turns a file record into its folder's
// default (a new record) or moves a folder default one folder up; the
// camera-default action makes a record the "/" record.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/history/history_record.h"
#include "app/history/history_store.h"
#include "pipeline/processor/raw_processor.h"

namespace dvk {

// The path, its folder with "/", each folder above with "/", then "/":
// /a/p/x.NEF gives /a/p/x.NEF, /a/p/, /a/, /.
std::vector<std::string> folderChain(const std::string& path);
// The folder of a path with "/" appended; "/" for a path at the top or for "/"
// itself (/a/b/x gives /a/b/, /a/b/ gives /a/, /a/ gives /).
std::string enclosingFolderWithSlash(const std::string& path);

// The walk of the default rule over records fetched for the chain (newest
// first): the first chain element with a record of `camera` wins.
std::optional<HistoryMO> chooseDirectoryDefault(const std::vector<HistoryMO>& records,
                                                const std::vector<std::string>& chain, const std::string& camera);
// The default of `fileName` for `camera` in the store (nullopt: none, or a
// read that failed: logged, and its error in *error when given).
std::optional<HistoryMO> findDirectoryDefault(HistoryStore& store, const std::string& camera,
                                              const std::string& fileName, std::string* error = nullptr);

// hlRange as the record keeps it: thousandths, rounded to nearest.
int hlRangeThousandths(double hlRange);

// A new record of a processor's settings (creationDate now, reservedString1
// "0", the comment only when not empty). Not stored.
HistoryMO historyRecordFromSettings(const RawProcessor& r, const std::string& source, const std::string& destination,
                                    const std::optional<std::string>& comment);

// The values compared by "are the settings the default": the 24 shared keys
// and blackShift, sharpness, hlCompression, hlRange (in thousandths),
// highRecoveryGuessTone and cleanDotNoise; numbers compare by value.
SettingsDictionary defaultComparisonOfSettings(const RawProcessor& r);
SettingsDictionary defaultComparisonOfRecord(const HistoryMO& record);
bool settingsEqualRecord(const RawProcessor& r, const HistoryMO& record);
// The same comparison between the settings a record holds and another record.
bool recordSettingsEqual(const HistoryMO& settings, const HistoryMO& record);

// The record a folder-default action writes for the selected record `s`: a
// new record (object id 0, creationDate `now`) from a file record, or `s`
// itself moved one folder up from a folder default. Destination made a
// folder, rotation 0; unless Control is held the white-balance mode 1 or 2
// of `useCameraWB` goes into reservedString1.
HistoryMO folderDefaultFrom(const HistoryMO& s, int useCameraWB, bool controlHeld, double now);
// `s` made the camera's global default ("/", no destination, rotation 0,
// reservedString1 "1" for automatic balance, else "2").
HistoryMO globalCameraDefaultFrom(const HistoryMO& s, int useCameraWB);

// Propagation: the selected record with its destination made a folder, and
// the destination the confirmation names.
HistoryMO propagationTemplate(const HistoryMO& selected, std::string* destinationShown);
std::string propagationConfirmationText(std::size_t count, const std::string& destinationShown);
// One record a file from the template: creationDate `now`, the file as
// source, the file's own camera.
HistoryMO propagatedRecord(const HistoryMO& templateRecord, const std::string& file, const std::string& camera,
                           double now);

// How a path cell of the history table looks.
enum class HistoryCellStyle {
    Plain,          // system font, normal colour
    OpenFile,       // bold: the file open now
    FolderDefault,  // bold blue: a folder or camera default
    Missing,        // grey: a source file that no longer exists
    MissingFound,   // orange: a missing source for which the search found files of its name
};
// sourceColumn: the cell shows sourceFile (else destinationFile);
// exists: whether a file exists at a path; hasCandidates: whether the search
// for moved files knows files of the path's name (it must not wait).
HistoryCellStyle historyCellStyle(bool sourceColumn, const std::string& value, const std::string& openFileName,
                                  const std::function<bool(const std::string&)>& exists,
                                  const std::function<bool(const std::string&)>& hasCandidates = {});

}  // namespace dvk
