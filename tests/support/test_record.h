// A DVKLib record for tests: made with dvklib_new, destroyed with dvklib_delete.
#pragma once

#include <filesystem>
#include <string>

#include "core/dvklib.h"
#include "pipeline/load/load_raw_file.h"

namespace dvk::test {

struct TestRecord {
    DVKLib d;
    TestRecord() { dvklib_new(&d); }
    ~TestRecord() { dvklib_delete(&d); }
    TestRecord(const TestRecord&) = delete;
    TestRecord& operator=(const TestRecord&) = delete;

    DVKLib* operator->() { return &d; }
    DVKLib* get() { return &d; }
    int load(const std::filesystem::path& path, int half = 0) { return load_raw_file(&d, path.c_str(), half); }
    unsigned iwidth() const { return d.libraw->imgdata.sizes.iwidth; }
    unsigned iheight() const { return d.libraw->imgdata.sizes.iheight; }
    const float* pixel(unsigned row, unsigned col) const {
        return d.image.get() + (std::size_t(row) * iwidth() + col) * 4;
    }
};

}  // namespace dvk::test
