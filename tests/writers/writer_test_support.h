// Helpers of the writer tests: a record with a timestamp and profiles, small
// images, reading files back and asking exiftool.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/dvklib.h"

namespace dvk::test {

// An ICC profile made by LittleCMS (sRGB or a linear-gamma RGB), as bytes.
std::vector<char> make_icc_profile(bool linear);

// A record whose decoder carries `timestamp` and whose output / linear
// profiles point at the given bytes (sizes as length + 1).
struct WriterRecord {
    DVKLib d;
    std::vector<char> output_icc, linear_icc;
    explicit WriterRecord(long long timestamp);
    ~WriterRecord();
};

// One value of `tag` printed by exiftool (-s3), "" when absent.
std::string exiftool_tag(const std::string& file, const std::string& tag);

// Whether LittleCMS opens `bytes` as a profile; its description into *desc.
bool lcms_opens(const void* bytes, std::size_t size, std::string* desc = nullptr);

}  // namespace dvk::test
