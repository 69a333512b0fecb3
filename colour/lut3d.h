// A 3D lookup table of 65 points a side with tetrahedral interpolation, in
// float, standing in for one colour transform. Inputs pass a shaper first
// (the square root for RGB 0..1 and for L / 100, linear for a and b) so that
// the grid is dense where the transforms bend most; RGB outputs are stored as
// sign(v)|v|^2.2 and turned back through a 1D table, which keeps the steep
// start of the output tone curves accurate.
#pragma once

#include <cstddef>
#include <functional>
#include <vector>

namespace dvk {

class Lut3D {
public:
    static constexpr int kGrid = 65;

    // Fills the table from `exact`, which converts n packed float triples in
    // place. in_lab: inputs are CIELab (else RGB 0..1); out_rgb: outputs are
    // RGB (else CIELab).
    void build(bool in_lab, bool out_rgb, const std::function<void(float*, std::size_t)>& exact);
    bool empty() const { return table_.empty(); }

    // Converts n pixels in place. A pixel outside the table's input domain
    // (or NaN) is left as it was and its index is appended to `misses`.
    void apply(float* px, std::size_t n, std::vector<std::size_t>& misses) const;

private:
    std::vector<float> table_;  // kGrid^3 nodes, 3 floats each, first input slowest
    std::vector<float> post_;   // RGB outputs: v of sqrt(|y|) on a uniform grid
    float post_scale_ = 0;      // grid steps per unit of sqrt(|y|)
    bool in_lab_ = false, out_rgb_ = false;
};

}  // namespace dvk
