// The history table's filter for the open file: its own records (a source
// path ending in "/" + its name), the defaults of its folder chain, of its
// camera.
#pragma once

#include <string>

#include "app/history/history_list.h"

namespace dvk {

// Records whose sourceFile ends with "/" + the file's name (ignoring case and
// diacritics) or is one of the file's folder chain (ignoring case), and whose
// camera matches `camera` as a LIKE pattern ignoring case.
HistoryList::Filter historyFilterForFile(const std::string& path, const std::string& camera);

}  // namespace dvk
