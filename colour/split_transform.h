// The fast form of a transform between a matrix/TRC RGB profile and a Lab
// table profile (camera RGB to UPLab, UPLab to an output space): the RGB side
// is computed (its tone curves as 1D tables, one 3 x 3 matrix, the CIE
// XYZ/Lab formulas), the Lab side goes through a 65^3 table whose nodes fall
// on those of the profile's own table, so that interpolating it is exact
// (none when the Lab profile is plain CIELab).
// Every part is measured from LittleCMS itself, and the whole is checked
// against the exact transform before it is used.
#pragma once

#include <cstddef>
#include <vector>

#include <lcms2.h>

#include "colour/lut3d.h"

namespace dvk {

class SplitTransform {
public:
    // Prepares the transform src -> dst (intents per profile, no black-point
    // compensation), whose exact form is `exact`. False when the pair is not
    // of the kind above or the check against `exact` fails; the caller then
    // uses a table of the whole transform.
    // `lab_side`, when given, is the table of the Lab side (the Lab table
    // profile to or from CIELab, with the Lab profile's intent on both ends),
    // kept alive by the caller; else the split form builds its own. With
    // `lab_identity` (the Lab profile is plain CIELab) there is no table: the
    // matrix, curves and CIELab formulas are the whole transform.
    bool build(cmsHPROFILE src, int src_intent, cmsHPROFILE dst, int dst_intent, bool lab_in,
               const Lut3D::Convert& exact, const Lut3D* lab_side = nullptr, bool lab_identity = false);
    // Whether the pair is of the kind above (the profiles' locks held).
    static bool applies(cmsHPROFILE src, int src_intent, cmsHPROFILE dst, int dst_intent, bool lab_in);
    // As Lut3D::apply: pixels it cannot take are left as they were and listed.
    void apply(float* px, std::size_t n, std::vector<std::size_t>& misses) const;
    double exact_cell_share() const { return table_ ? table_->exact_cell_share() : 0.0; }

private:
    bool measure_rgb_input(cmsHPROFILE src, int src_intent, int dst_intent);
    bool measure_rgb_output(cmsHPROFILE dst, int dst_intent);

    bool lab_in_ = false;    // Lab table in, RGB out; else RGB in, Lab table out
    bool clamp_lab_ = false; // RGB in: CIELab clamped to the ICC encoding before the table
    float m_[9] = {};        // RGB in: linear RGB to XYZ; RGB out: XYZ to linear RGB (row-major)
    std::vector<float> curves_;  // 3 tables: RGB in, decoding over 0..1; RGB out, encoding over signed sqrt
    float curve_scale_ = 0;  // table steps per unit of the table's argument
    Lut3D lut_;                     // the Lab side's own table, unless it is shared
    const Lut3D* table_ = nullptr;  // the Lab side's table in use; null for plain CIELab
};

}  // namespace dvk
