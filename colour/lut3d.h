// A 3D lookup table of 65 points a side with tetrahedral interpolation, in
// float, standing in for one colour transform. A Lab-to-Lab transform that
// tetrahedral interpolation on a grid of 33 points a side already holds (up
// to the exact transform's rounding, as a Lab table profile of that size
// does) takes that grid instead.
//
// The grid is uniform in the inputs (RGB 0..1, or CIELab over the range of
// the 16-bit ICC encoding, L 0..100.39 and a, b -128..127.996), or for linear
// RGB inputs uniform in their square roots. RGB
// outputs are kept smooth for interpolation: either the transform into a
// linear-light copy of the output profile is tabled and the output tone
// curves are applied afterwards through 1D tables (matrix/TRC outputs), or
// the outputs are stored as sign(v)|v|^2.2 and turned back through a 1D table.
// Cells in which the transform still bends too much (clipping at gamut and
// encoding limits) are found when the table is built: cells whose second
// differences allow an interpolation error near the tolerance (and then the
// neighbours of failing ones) are probed against the exact transform at
// points inside them; pixels falling in failing cells take the exact
// transform (the cell's first node carries the mark in its fourth float).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace dvk {

class Lut3D {
public:
    static constexpr int kGrid = 65;
    // The grid of Lab-to-Lab tables whose transform is linear on its cells
    // (a Lab table profile of 33 points a side): an eighth of the nodes to
    // compute, and a table that stays in the processor's cache.
    static constexpr int kCoarseGrid = 33;
    // Converts n packed float triples in place.
    using Convert = std::function<void(float*, std::size_t)>;
    // Turns a linear-light output value of `channel` into the output's encoding.
    using Encode = std::function<float(int channel, float linear)>;

    // in_lab: inputs are CIELab (else RGB 0..1); out_rgb: outputs are RGB
    // (else CIELab). `linear` and `encode`, when given, are the transform into
    // linear light and the output tone curves, whose composition is `exact`.
    void build(bool in_lab, bool out_rgb, const Convert& exact, const Convert& linear = Convert(),
               const Encode& encode = Encode());
    bool empty() const { return table_.empty(); }
    // Nodes a side.
    int grid_size() const { return grid_; }
    // Share of the cells whose pixels take the exact transform.
    double exact_cell_share() const;
    // Whether `o` holds the same table, value for value (bit for bit).
    bool identical(const Lut3D& o) const;
    // Tables built in this process so far (calls of build), for tests.
    static std::size_t builds();

    // Converts n pixels in place. A pixel outside the table's input domain
    // (or NaN), or in a cell left to the exact transform, is left as it was
    // and its index is appended to `misses`.
    void apply(float* px, std::size_t n, std::vector<std::size_t>& misses) const;
    // For tables with CIELab outputs (no RGB post tables), the same on other
    // layouts. Inputs as three planes of n values, outputs packed into `out`:
    // the pixels it cannot take keep what `out` held and are listed.
    void apply_planes_in(const float* in0, const float* in1, const float* in2, std::size_t n, float* out,
                         std::vector<std::size_t>& misses) const;
    // Packed inputs, outputs as three planes; the pixels it cannot take are
    // listed (their outputs are meaningless but finite).
    void apply_planes_out(const float* px, std::size_t n, float* out0, float* out1, float* out2,
                          std::vector<std::size_t>& refused) const;

private:
    // Offset, in floats, from a cell's first node to its far corner.
    std::int32_t cell_diagonal() const { return (grid_ * grid_ + grid_ + 1) * 4; }
    enum class Post { None, Gamma, Encoded };

    void fill(bool sqrt_shaper, const Convert& source);
    void make_post_tables(const Encode& encode);
    void mark_exact_cells(const Convert& exact);
    // A table value in the units the cell check compares (RGB after the post
    // tables, clamped, linear outputs by cube root; Lab as stored).
    float compared_value(int channel, float stored) const;

    int grid_ = kGrid;          // nodes a side
    std::vector<float> table_;  // grid_^3 nodes, 4 floats each (the last 0), first input slowest
    std::vector<float> post_;   // 3 x kPostSize: output of sqrt(|stored|) on a uniform grid
    float post_scale_ = 0;      // grid steps per unit of sqrt(|stored|)
    bool in_lab_ = false, out_rgb_ = false, sqrt_shaper_ = false, linear_out_ = false;
    Post post_mode_ = Post::None;
    // Bit per cell, set when its pixels take the exact transform; empty when none does.
    std::vector<std::uint64_t> exact_cell_;
};

}  // namespace dvk
