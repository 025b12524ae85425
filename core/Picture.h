#pragma once
// A W×H grid of RGB pixels, (0,0) top-left, with no transparency of its own.
#include <algorithm>
#include <cassert>
#include <vector>

#include "formats/Colours.h"

class Picture {
public:
    Picture() = default;
    Picture(int width, int height, Rgb fill = {})
        : m_width(width), m_height(height), m_pixels(size_t(width) * size_t(height), fill) {}

    int width() const { return m_width; }
    int height() const { return m_height; }
    bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < m_width && y < m_height; }

    Rgb at(int x, int y) const { assert(contains(x, y)); return m_pixels[index(x, y)]; }
    void set(int x, int y, Rgb c) { assert(contains(x, y)); m_pixels[index(x, y)] = c; }
    void fill(Rgb c) { std::fill(m_pixels.begin(), m_pixels.end(), c); }

    const std::vector<Rgb>& pixels() const { return m_pixels; }
    friend bool operator==(const Picture&, const Picture&) = default;

private:
    size_t index(int x, int y) const { return size_t(y) * size_t(m_width) + size_t(x); }

    int m_width = 0;
    int m_height = 0;
    std::vector<Rgb> m_pixels;
};
