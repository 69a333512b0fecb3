// Raw loading: from a camera raw file to the normalised four-channel float
// working image of a DVKLib record.
//
// load_raw_file() (load_raw_file.h) runs the steps below in order; each
// step is its own function so that tests and other stages can call it on a
// record whose decoder holds a decoded file. All of them read the image sizes
// from the decoder (imgdata.sizes.iwidth / iheight) and write them back when
// they change the geometry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "core/aligned_buffer.h"
#include "core/dvklib.h"
#include "pipeline/load/load_raw_file.h"

namespace dvk {

// Spare rows a band of the float RGB stages of the conversion needs after the
// image (beyond the first band).
inline constexpr unsigned kRgbSpareRowsPerThread = 220;

// Bytes of the working image for an iwidth x iheight load: room for the spare
// rows the band runners need after the image, as four-channel pixels and as
// the float RGB image made from them in place, both dimensions rounded up to
// multiples of 16, 16 bytes a pixel.
std::size_t working_image_bytes(unsigned iwidth, unsigned iheight);

// Copies LibRaw's decoded image (imgdata.image) into `dest` as packed floats
// (row stride iwidth): mosaic files channel by channel, three-colour files as
// R, G, B, G and one-colour files into all four channels (the colour count
// then becomes 3). Returns dest, or nullptr when LibRaw holds no image.
float* copy_image_to_rgbg(DVKLib* d, float* dest);
// As above into a new working-image buffer (working_image_bytes of the
// decoder's sizes, stored in *bytes); empty when LibRaw has no image or
// memory is short.
AlignedBuffer<float> copy_image_to_rgbg(DVKLib* d, std::size_t* bytes);

// copy_image_to_rgbg and normalize_image in one pass over the memory, for
// loads where no step between the two needs the samples in raw units. The
// result is the same as the two steps in turn. Returns false when LibRaw
// holds no image.
bool copy_image_normalised(DVKLib* d, float* dest, float scale);
// The same straight from the raw samples, for a decoder on which
// begin_image_rows() succeeded: LibRaw's four-channel image is never made.
// With `estimate_wb` it also does what estimate_auto_wb would do on the
// result. Returns false when memory is short.
bool copy_raw_normalised(DVKLib* d, float* dest, float scale, bool estimate_wb = false);

// Half-size X-Trans files: rebuilds the half-size image from the raw samples
// of the image area (black subtracted), averaging colours per 2 x 2 block, and
// trims 2 pixels on each side. Needs the raw samples, so it runs before they
// are released.
void build_xtrans_half_image(DVKLib* d);

// Two-frame files with a 45-degree sensor: decodes frame 1 and merges it into
// the highlights of frame 0. Returns 0, or the LibRaw error of the frame-1
// decode (the image is then left as it was).
int merge_second_frame(DVKLib* d, const char* path, int halfSize);

// Statistics and merge of two frames, the core of merge_second_frame. `frame0`
// and `frame1` are w x h four-channel images (raw units, row stride w);
// `colour(row, col)` gives the channel of a mosaic site, or -1 when all four
// channels hold data (half size). Frame 1's counterpart in frame 0 is the row
// below, or the same row when `same_row` is set; frame-1 samples are compared
// in the channels where their counterpart holds data.
struct FrameMergeInput {
    float* frame0;
    unsigned width0, height0;
    const std::uint16_t (*frame1)[4];
    unsigned width1, height1;
    bool same_row;
    float cam_mul0[4];
    float cam_mul1[4];
};
void merge_frames(const FrameMergeInput& in, const std::function<int(unsigned row, unsigned col)>& colour);

// Turns the image of a 45-degree sensor upright (bilinear). No-op when the
// decoder's 45-degree width is 0. Returns false, leaving the image as it was,
// when the new buffer cannot be allocated.
bool rotate_45_degree(DVKLib* d);

// Subtracts the black level, records each channel's peak in chan_max and
// multiplies by scale / (white - black), stored in norm_scale.
void normalize_image(DVKLib* d, float scale);

// Grey-world white balance over 8-pixel-spaced blocks, into auto_wb.
void estimate_auto_wb(DVKLib* d);

// Loads a colour-filter image as if the sensor had none: white-balances by
// auto_wb, copies each site's own channel into all four, and clears the
// colour-filter code.
void convert_to_no_cfa(DVKLib* d);

// Passes the camera's XYZ-to-camera matrix of the loaded file on to the colour
// module, which builds the camera matrix profile from it.
void hand_off_camera_matrix(DVKLib* d, const char* camera_name, const float matrix[4][3]);

}  // namespace dvk
