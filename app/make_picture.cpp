// Draws the panel's picture "synth.bmp": 200 x 60 pixels, white on black,
// the four wave shapes of the oscillators above the word SYNTH. Written as
// an uncompressed 24-bit BMP with the 40-byte header that Allegro reads.
//
// Usage: make_picture OUTPUT.bmp
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

constexpr int W = 200, H = 60;

struct picture {
    std::vector<uint8_t> grey = std::vector<uint8_t>(W * H, 0);
    void set(int x, int y, uint8_t v) {
        if (x >= 0 && x < W && y >= 0 && y < H && grey[y * W + x] < v) grey[y * W + x] = v;
    }
    // A vertical run joining consecutive samples of a curve.
    void span(int x, int y0, int y1, uint8_t v) {
        if (y0 > y1) std::swap(y0, y1);
        for (int y = y0; y <= y1; ++y) set(x, y, v);
    }
};

// One wave per 50-pixel cell: sine, square, saw, noise; two cycles each.
void draw_waves(picture& p) {
    constexpr int mid = 17, amp = 11, cell = 50, margin = 4;
    uint32_t noise = 12345;
    for (int c = 0; c < 4; ++c) {
        int prev = mid;
        for (int i = 0; i <= cell - 2 * margin; ++i) {
            const double t = 2.0 * i / (cell - 2 * margin); // cycles
            const double f = t - std::floor(t);
            double v = 0.0;
            switch (c) {
            case 0: v = std::sin(2.0 * M_PI * t); break;
            case 1: v = f < 0.5 ? 1.0 : -1.0; break;
            case 2: v = 2.0 * f - 1.0; break;
            case 3:
                noise = noise * 1103515245u + 12345u;
                v = ((noise >> 16) & 0x7FFF) / 16383.5 - 1.0;
                break;
            }
            const int y = mid - int(std::lround(v * amp));
            const int x = c * cell + margin + i;
            p.span(x, i == 0 ? y : prev, y, 255);
            prev = y;
        }
        for (int x = c * cell + margin; x <= (c + 1) * cell - margin; x += 2) p.set(x, mid, 96);
    }
}

// A 5 x 7 font of the five letters we need, one row per byte, bit 4 leftmost.
const uint8_t GLYPHS[5][7] = {
    {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}, // S
    {0x11, 0x11, 0x0A, 0x04, 0x04, 0x04, 0x04}, // Y
    {0x11, 0x19, 0x15, 0x13, 0x11, 0x11, 0x11}, // N
    {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}, // T
    {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}, // H
};

void draw_word(picture& p) {
    constexpr int scale = 3, pitch = 6 * scale, top = 34;
    const int left = (W - (5 * pitch - scale)) / 2;
    for (int g = 0; g < 5; ++g)
        for (int row = 0; row < 7; ++row)
            for (int col = 0; col < 5; ++col)
                if (GLYPHS[g][row] & (0x10 >> col))
                    for (int dy = 0; dy < scale; ++dy)
                        for (int dx = 0; dx < scale; ++dx)
                            p.set(left + g * pitch + col * scale + dx, top + row * scale + dy, 255);
}

void put16(std::vector<uint8_t>& b, uint16_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
void put32(std::vector<uint8_t>& b, uint32_t v) {
    put16(b, uint16_t(v));
    put16(b, uint16_t(v >> 16));
}

std::vector<uint8_t> bmp(const picture& p) {
    const uint32_t stride = (W * 3 + 3) / 4 * 4, pixels = stride * H, offset = 14 + 40;
    std::vector<uint8_t> b;
    b.push_back('B');
    b.push_back('M');
    put32(b, offset + pixels);
    put32(b, 0);
    put32(b, offset);
    put32(b, 40); // BITMAPINFOHEADER
    put32(b, W);
    put32(b, H);  // positive: rows stored bottom-up
    put16(b, 1);
    put16(b, 24);
    put32(b, 0);  // no compression
    put32(b, pixels);
    put32(b, 2835);
    put32(b, 2835);
    put32(b, 0);
    put32(b, 0);
    for (int y = H - 1; y >= 0; --y) {
        for (int x = 0; x < W; ++x)
            for (int ch = 0; ch < 3; ++ch) b.push_back(p.grey[y * W + x]);
        for (uint32_t pad = W * 3; pad < stride; ++pad) b.push_back(0);
    }
    return b;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.bmp\n", argv[0]);
        return 2;
    }
    picture p;
    draw_waves(p);
    draw_word(p);
    const std::vector<uint8_t> b = bmp(p);
    std::FILE* f = std::fopen(argv[1], "wb");
    if (!f || std::fwrite(b.data(), 1, b.size(), f) != b.size() || std::fclose(f) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
