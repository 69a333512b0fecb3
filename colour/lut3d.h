// A 3D lookup table of 65 points a side with tetrahedral interpolation, in
// float, standing in for one colour transform. The grid is uniform in the
// inputs (RGB 0..1, or L 0..100 and a, b -128..128) or in their square roots
// (suits linear RGB inputs); RGB outputs are stored as they are or as
// sign(v)|v|^2.2, turned back through a 1D table (suits the steep start of
// gamma-encoded outputs), chosen from the transform of mid-grey. Cells in which the transform
// clips (gamut and encoding limits) are found when the table is built, by
// comparing the interpolation with the exact transform inside each cell;
// pixels falling there take the exact transform.
#pragma once

#include <cstddef>
#include <cstdint>
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
    // Share of the cells whose pixels take the exact transform.
    double exact_cell_share() const;

    // Converts n pixels in place. A pixel outside the table's input domain
    // (or NaN) is left as it was and its index is appended to `misses`.
    void apply(float* px, std::size_t n, std::vector<std::size_t>& misses) const;

private:
    void fill(bool sqrt_shaper, const std::function<void(float*, std::size_t)>& exact);
    void mark_exact_cells(const std::function<void(float*, std::size_t)>& exact);

    std::vector<float> table_;  // kGrid^3 nodes, 3 floats each, first input slowest
    bool sqrt_shaper_ = false;
    bool post_gamma_ = false;   // RGB outputs stored as sign(v)|v|^2.2
    // Cells where the transform is not smooth enough to interpolate (it clips
    // inside them): their pixels take the exact transform.
    std::vector<std::uint8_t> exact_cell_;
    std::vector<float> post_;   // RGB outputs: v of sqrt(|y|) on a uniform grid
    float post_scale_ = 0;      // grid steps per unit of sqrt(|y|)
    bool in_lab_ = false, out_rgb_ = false;
};

}  // namespace dvk
