// The profiles the generator makes: the plain working and output spaces, the
// film looks, the UPLab resource and the camera input profiles.
#pragma once

#include <string>

#include "colour/icc_writer.h"
#include "colour_science.h"

namespace gen {

using dvk::icc::Bytes;

Bytes plain_profile(const std::string& name);
Bytes rgb_look_profile(const std::string& name);
Bytes lab_look_profile(const std::string& name);
Bytes uplab_profile();

// Shared pieces.
// lut16 over a grid of Lab (legacy 16-bit encoding) or RGB 0..1 inputs.
Bytes lut_from_function(bool lab_in, bool lab_out, unsigned grid, Vec3 (*fn)(const Vec3&, const void*), const void* ctx);
Vec3 beta_rgb_to_lab(const Vec3& rgb);        // Beta RGB with gamma 563/256
Vec3 lab_to_beta_rgb_clipped(const Vec3& lab);
dvk::icc::Header lut_header(unsigned version, std::uint32_t device_class, std::uint32_t space);

}  // namespace gen
