// A small non-owning 2D view over pixel rows: pointer, width, height and row
// stride (in elements). Bounds are checked in debug builds only.
#pragma once

#include <cassert>
#include <cstddef>

namespace dvk {

template <typename T, int Channels = 1>
class ImageView {
public:
    ImageView() = default;
    ImageView(T* data, std::size_t width, std::size_t height, std::size_t stride_pixels = 0)
        : data_(data), width_(width), height_(height), stride_(stride_pixels ? stride_pixels : width) {}

    T* row(std::size_t y) const {
        assert(y < height_);
        return data_ + y * stride_ * Channels;
    }
    T* at(std::size_t x, std::size_t y) const {
        assert(x < width_ && y < height_);
        return data_ + (y * stride_ + x) * Channels;
    }
    T& at(std::size_t x, std::size_t y, int c) const {
        assert(c >= 0 && c < Channels);
        return at(x, y)[c];
    }

    T* data() const { return data_; }
    std::size_t width() const { return width_; }
    std::size_t height() const { return height_; }
    std::size_t stride() const { return stride_; }
    bool empty() const { return width_ == 0 || height_ == 0; }

private:
    T* data_ = nullptr;
    std::size_t width_ = 0, height_ = 0, stride_ = 0;
};

using RgbgView = ImageView<float, 4>;   // R, G, B, second G
using RgbView = ImageView<float, 3>;    // float RGB or Lab triples

}  // namespace dvk
