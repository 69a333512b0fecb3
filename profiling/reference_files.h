// Reference files (the known colour of every patch of a colour target, as XYZ
// or CIELab) and measurement files (TI3: reference XYZ with the measured camera
// RGB and its deviation), read and written through the CGATS library.
//
// A reference file is any CGATS file whose first table has SAMPLE_ID and all
// of XYZ_X, XYZ_Y, XYZ_Z or all of LAB_L, LAB_A, LAB_B, whatever its
// identifier; a TI3 import in addition has RGB_R/G/B and STDEV_R/G/B. Numbers
// are read and written in the C locale.
#pragma once

#include <array>
#include <string>

#include "profiling/cgats/cgats.h"
#include "profiling/patches.h"

namespace dvk {

// CIELab (D50) to XYZ scaled to 100, the CIE way (epsilon 216/24389, kappa
// 24389/27, white 0.964242, 1, 0.825124).
std::array<double, 3> lab_to_xyz100(double L, double a, double b);

// Reads the CGATS file at `path` into `c` as read_name does, but only a
// regular file of at most kReferenceFileMaxBytes: 0, or -1 with the reason
// in *error ("Unable to open file 'PATH' for reading: not a regular file", "...:
// too large (N bytes, at most M)", "...: Permission denied", or the reader's
// message), -2 when memory runs out.
int read_reference_file(cgats* c, const char* path, std::string* error);

// Reads a reference or TI3 file. Null with the reason in *error (one line
// ending in a line feed) when it cannot be read or lacks the columns above.
cgats_ptr open_reference_cgats(const char* path, std::string* error);

// Set `set` of the first table as a reference patch: the id cut to 99 bytes,
// XYZ when all three XYZ fields exist, else Lab converted. False when a field
// or the set is missing, with what was missing in *why (may be null), e.g.
// "the first table has no SAMPLE_ID field (its fields: SAMPLE_LOC XYZ_X ...)".
bool read_cie_set(cgats* c, int set, CIEPatch* out, std::string* why = nullptr);
// Set `set` as a measured patch (id, RGB, deviations). False when a field or
// the set is missing, with what was missing in *why (may be null).
bool read_ti3_set(cgats* c, int set, TI3Patch* out, std::string* why = nullptr);

// An empty measurement file: identifier "CTI3", the keywords DESCRIPTOR,
// ORIGINATOR, CREATED (local time), DEVICE_CLASS "INPUT", COLOR_REP "XYZ_RGB"
// and the ten fields. Null when both texts are null or memory runs out.
cgats_ptr new_ti3_cgats(const char* description, const char* originator);
// Appends one set; XYZ when given, else Lab converted. False when the id,
// RGB, stdev or both colours are missing, the id is empty, or the set cannot be added.
bool add_ti3_set(cgats* c, const char* id, const double* Lab, const double* XYZ, const double RGB[3],
                 const double stdev[3]);

}  // namespace dvk
