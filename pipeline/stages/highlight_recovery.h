// Highlight recovery on the four-channel working image, and the white balance
// measured on an area of it.
#pragma once

namespace dvk {

struct DVKLib;

void recover_highlights(DVKLib* d, float* image, unsigned width, unsigned height, int guessTone, float ev, float r,
                        float g, float b, float g2);
// Measure the area and leave log2(G/R), 0, log2(G/B), log2(G/G2) in
// d->area_wb_ev; nothing is stored when a channel has no non-zero sample.
void balance_at_point(DVKLib* d, unsigned x, unsigned y, unsigned size);
void balance_at_rect(DVKLib* d, unsigned x, unsigned y, unsigned width, unsigned height);
double min3(double a, double b, double c);

}  // namespace dvk
