// The border crop after LMMSE demosaicing: `border` pixels go from every side
// of the four-channel working image, in place, and the decoder's iwidth and
// iheight shrink by 2 x border. An image too small to keep a pixel is left
// as it is (returns false).
#pragma once

namespace dvk {

struct DVKLib;

bool crop_rgbg_border(DVKLib* d, unsigned border);

}  // namespace dvk
