// Draws the seven pictures of the configuration window with cairo and writes
// them as XPM string arrays (128x128, 256 colours plus "None", two characters
// per pixel) into one C++ source file.
//
//   gen_korva_pixmaps <output.cpp> [png-directory]
//
// The build runs it through the target regen_korva_pixmaps.
//
// With a png-directory, each picture is also written there as korva_N.png,
// composited on the window background, exactly as the quantised XPM shows it.
//
// Pixels are drawn antialiased on a transparent surface. The window shows
// them through a 1-bit mask, so a pixel with coverage below one half becomes
// transparent and every other pixel is blended over the toolkit's default
// background colour (#dcdad5): the antialiased edges then look right on the
// notebook pages. The blended colours are reduced to 256 by median cut,
// refined with a few k-means passes.

#include <cairo.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kSize = 128;
constexpr int kColours = 256;
constexpr double kPi = 3.14159265358979323846;

struct Rgb {
    double r, g, b;
};

// One palette for all pictures.
constexpr Rgb kInk{0.11, 0.13, 0.16};        // outlines
constexpr Rgb kBoxTop{0.36, 0.40, 0.46};     // speaker cabinet
constexpr Rgb kBoxBottom{0.17, 0.19, 0.23};
constexpr Rgb kConeDark{0.10, 0.11, 0.13};
constexpr Rgb kConeLight{0.42, 0.45, 0.50};
constexpr Rgb kBlue{0.16, 0.47, 0.82};       // sound
constexpr Rgb kBlueLight{0.62, 0.80, 0.96};
constexpr Rgb kWarm{0.93, 0.55, 0.20};       // listener, handles
constexpr Rgb kWarmDark{0.62, 0.30, 0.08};
constexpr Rgb kSteelLight{0.90, 0.92, 0.95};
constexpr Rgb kSteelDark{0.50, 0.55, 0.62};
constexpr Rgb kWall{0.55, 0.58, 0.63};
constexpr Rgb kWindowBg{220 / 255.0, 218 / 255.0, 213 / 255.0};

constexpr double kOutline = 2.0;

void set(cairo_t *cr, Rgb c)
{
    cairo_set_source_rgb(cr, c.r, c.g, c.b);
}

void stop(cairo_pattern_t *p, double at, Rgb c)
{
    cairo_pattern_add_color_stop_rgb(p, at, c.r, c.g, c.b);
}

void fill_linear(cairo_t *cr, double x0, double y0, double x1, double y1, Rgb a, Rgb b)
{
    cairo_pattern_t *p = cairo_pattern_create_linear(x0, y0, x1, y1);
    stop(p, 0, a);
    stop(p, 1, b);
    cairo_set_source(cr, p);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(p);
}

void outline(cairo_t *cr, double width = kOutline)
{
    set(cr, kInk);
    cairo_set_line_width(cr, width);
    cairo_stroke(cr);
}

void rounded_rect(cairo_t *cr, double x, double y, double w, double h, double r)
{
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -kPi / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, kPi / 2);
    cairo_arc(cr, x + r, y + h - r, r, kPi / 2, kPi);
    cairo_arc(cr, x + r, y + r, r, kPi, 3 * kPi / 2);
    cairo_close_path(cr);
}

// The channel letters as strokes, so no font is involved. (x, y) is the
// top-left corner of a letter h pixels high.
void letter(cairo_t *cr, char which, double x, double y, double h, Rgb colour)
{
    double w = h * 0.62;
    cairo_new_path(cr);
    if (which == 'L') {
        cairo_move_to(cr, x, y);
        cairo_line_to(cr, x, y + h);
        cairo_line_to(cr, x + w, y + h);
    } else {
        double bowl = h * 0.55;
        cairo_move_to(cr, x, y + h);
        cairo_line_to(cr, x, y);
        cairo_line_to(cr, x + w * 0.55, y);
        cairo_arc(cr, x + w * 0.55, y + bowl / 2, bowl / 2, -kPi / 2, kPi / 2);
        cairo_line_to(cr, x, y + bowl);
        cairo_move_to(cr, x + w * 0.45, y + bowl);
        cairo_line_to(cr, x + w * 1.05, y + h);
    }
    set(cr, colour);
    cairo_set_line_width(cr, h * 0.22);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_stroke(cr);
}

void woofer(cairo_t *cr, double cx, double cy, double r)
{
    cairo_arc(cr, cx, cy, r, 0, 2 * kPi);
    cairo_pattern_t *p = cairo_pattern_create_radial(cx - r * 0.3, cy - r * 0.3, 0, cx, cy, r);
    stop(p, 0, kConeLight);
    stop(p, 1, kConeDark);
    cairo_set_source(cr, p);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(p);
    outline(cr, 1.5);
    cairo_arc(cr, cx, cy, r * 0.32, 0, 2 * kPi);
    set(cr, kConeLight);
    cairo_fill(cr);
}

// A cabinet with its channel letter above the woofer, centred on cx, top at y.
void speaker(cairo_t *cr, double cx, double y, double w, double h, char channel)
{
    double x = cx - w / 2;
    rounded_rect(cr, x, y, w, h, w * 0.14);
    fill_linear(cr, x, y, x + w, y + h, kBoxTop, kBoxBottom);
    outline(cr);
    double lh = h * 0.26;
    letter(cr, channel, cx - lh * 0.33, y + h * 0.10, lh, kSteelLight);
    woofer(cr, cx, y + h * 0.68, w * 0.33);
}

// Head and shoulders seen from the front, centred on cx, head centre at cy.
void listener(cairo_t *cr, double cx, double cy, double s)
{
    cairo_new_path(cr);
    cairo_move_to(cr, cx - 20 * s, cy + 30 * s);
    cairo_curve_to(cr, cx - 20 * s, cy + 14 * s, cx - 12 * s, cy + 10 * s, cx, cy + 10 * s);
    cairo_curve_to(cr, cx + 12 * s, cy + 10 * s, cx + 20 * s, cy + 14 * s, cx + 20 * s, cy + 30 * s);
    cairo_close_path(cr);
    fill_linear(cr, cx, cy + 10 * s, cx, cy + 30 * s, kWarm, kWarmDark);
    outline(cr);
    cairo_arc(cr, cx, cy, 10 * s, 0, 2 * kPi);
    cairo_pattern_t *p = cairo_pattern_create_radial(cx - 3 * s, cy - 4 * s, 1, cx, cy, 10 * s);
    stop(p, 0, Rgb{0.99, 0.78, 0.52});
    stop(p, 1, kWarm);
    cairo_set_source(cr, p);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(p);
    outline(cr);
}

void arrow_head(cairo_t *cr, double x, double y, double angle, double size, Rgb colour)
{
    cairo_save(cr);
    cairo_translate(cr, x, y);
    cairo_rotate(cr, angle);
    cairo_move_to(cr, 0, 0);
    cairo_line_to(cr, -size, -size * 0.6);
    cairo_line_to(cr, -size * 0.7, 0);
    cairo_line_to(cr, -size, size * 0.6);
    cairo_close_path(cr);
    set(cr, colour);
    cairo_fill(cr);
    cairo_restore(cr);
}

// korva_1: two cabinets above a listener inside a wide sound field.
void draw_surround(cairo_t *cr)
{
    const double cx = 64, cy = 86;
    for (int i = 0; i < 4; ++i) {
        double r = 26 + i * 11;
        double t = i / 3.0;
        Rgb c{kBlue.r + (kBlueLight.r - kBlue.r) * t, kBlue.g + (kBlueLight.g - kBlue.g) * t,
              kBlue.b + (kBlueLight.b - kBlue.b) * t};
        cairo_new_path(cr);
        cairo_arc(cr, cx, cy, r, kPi * 0.92, kPi * 2.08);
        set(cr, c);
        cairo_set_line_width(cr, 4.5 - i * 0.6);
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
        cairo_stroke(cr);
    }
    speaker(cr, 20, 6, 30, 42, 'L');
    speaker(cr, 108, 6, 30, 42, 'R');
    listener(cr, cx, cy, 1.2);
}

// korva_2: the same scene inside a room, sound reflected by the walls.
void draw_room(cairo_t *cr)
{
    rounded_rect(cr, 5, 5, 118, 118, 6);
    set(cr, Rgb{0.93, 0.94, 0.96});
    cairo_fill_preserve(cr);
    set(cr, kWall);
    cairo_set_line_width(cr, 6);
    cairo_stroke_preserve(cr);
    outline(cr, 1.5);

    auto zigzag = [cr](double sign) {
        double x0 = 64 + sign * 42, y0 = 48;
        double pts[][2] = {{x0, y0}, {64 + sign * 55, 62}, {64 + sign * 30, 76},
                           {64 + sign * 55, 90}, {64 + sign * 24, 103}};
        cairo_new_path(cr);
        cairo_move_to(cr, pts[0][0], pts[0][1]);
        for (int i = 1; i < 5; ++i)
            cairo_line_to(cr, pts[i][0], pts[i][1]);
        set(cr, kBlue);
        cairo_set_line_width(cr, 3);
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
        cairo_stroke(cr);
        double a = std::atan2(pts[4][1] - pts[3][1], pts[4][0] - pts[3][0]);
        arrow_head(cr, pts[4][0] + 3 * std::cos(a), pts[4][1] + 3 * std::sin(a), a, 9, kBlue);
    };
    zigzag(-1);
    zigzag(1);
    // A direct path from each speaker, lighter.
    for (double sign : {-1.0, 1.0}) {
        cairo_new_path(cr);
        cairo_move_to(cr, 64 + sign * 30, 36);
        cairo_line_to(cr, 64 + sign * 12, 58);
        set(cr, kBlueLight);
        cairo_set_line_width(cr, 3);
        cairo_stroke(cr);
    }
    speaker(cr, 30, 11, 26, 36, 'L');
    speaker(cr, 98, 11, 26, 36, 'R');
    listener(cr, 64, 80, 1.05);
}

// korva_3: two cabinets aiming beams at the listener.
void draw_beams(cairo_t *cr)
{
    const double hx = 64, hy = 86;
    for (double sign : {-1.0, 1.0}) {
        const double sx = 64 + sign * 40, sy = 44;
        // From the cabinet's inner side and its outer bottom corner to the head.
        auto beam = [&] {
            cairo_new_path(cr);
            cairo_move_to(cr, sx - sign * 15, sy - 26);
            cairo_line_to(cr, sx + sign * 15, sy + 2);
            cairo_line_to(cr, hx + sign * 7, hy - 5);
            cairo_line_to(cr, hx + sign * 2, hy - 9);
            cairo_close_path(cr);
        };
        beam();
        fill_linear(cr, sx, sy, hx, hy, kBlueLight, kBlue);
        cairo_save(cr);
        cairo_clip(cr);
        // Wave fronts across the beam, clipped to it.
        const double a = std::atan2(hy - sy, hx - sx) + kPi / 2;
        for (int i = 0; i < 3; ++i) {
            double t = 0.22 + i * 0.22;
            double mx = sx + (hx - sx) * t, my = sy - 8 + (hy - sy) * t;
            cairo_new_path(cr);
            cairo_move_to(cr, mx - 30 * std::cos(a), my - 30 * std::sin(a));
            cairo_line_to(cr, mx + 30 * std::cos(a), my + 30 * std::sin(a));
            set(cr, Rgb{0.97, 0.98, 1.0});
            cairo_set_line_width(cr, 2);
            cairo_stroke(cr);
        }
        cairo_restore(cr);
        beam();
        set(cr, kBlue);
        cairo_set_line_width(cr, 1.5);
        cairo_stroke(cr);
    }
    speaker(cr, 24, 4, 30, 42, 'L');
    speaker(cr, 104, 4, 30, 42, 'R');
    listener(cr, hx, hy, 1.2);
}

// korva_4: a woofer seen from the front.
void draw_cone(cairo_t *cr)
{
    const double c = 64;
    rounded_rect(cr, 6, 6, 116, 116, 14);
    fill_linear(cr, 6, 6, 122, 122, kBoxTop, kBoxBottom);
    outline(cr);
    for (int i = 0; i < 4; ++i) {
        double a = kPi / 4 + i * kPi / 2;
        cairo_arc(cr, c + 50 * std::cos(a), c + 50 * std::sin(a), 3.5, 0, 2 * kPi);
        set(cr, kSteelDark);
        cairo_fill_preserve(cr);
        outline(cr, 1);
    }
    // Surround: a rubber ring lit from the top left.
    cairo_arc(cr, c, c, 52, 0, 2 * kPi);
    fill_linear(cr, 20, 20, 108, 108, Rgb{0.36, 0.38, 0.42}, kConeDark);
    outline(cr);
    cairo_arc(cr, c, c, 43, 0, 2 * kPi);
    cairo_pattern_t *p = cairo_pattern_create_radial(c - 10, c - 12, 4, c, c, 43);
    stop(p, 0, Rgb{0.56, 0.59, 0.64});
    stop(p, 0.55, Rgb{0.27, 0.29, 0.33});
    stop(p, 1, kConeDark);
    cairo_set_source(cr, p);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(p);
    outline(cr, 1.5);
    // Faint ribs make it read as a cone rather than a disc.
    for (int i = 0; i < 3; ++i) {
        cairo_arc(cr, c, c, 22 + i * 7, 0, 2 * kPi);
        set(cr, Rgb{0.22, 0.24, 0.27});
        cairo_set_line_width(cr, 1);
        cairo_stroke(cr);
    }
    cairo_arc(cr, c, c, 15, 0, 2 * kPi);
    p = cairo_pattern_create_radial(c - 5, c - 6, 1, c, c, 15);
    stop(p, 0, kSteelLight);
    stop(p, 1, Rgb{0.30, 0.33, 0.37});
    cairo_set_source(cr, p);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(p);
    outline(cr, 1.5);
}

// Shapes made of several parts: every part is outlined twice as wide as the
// outline and then filled, so inner seams vanish; holes are outlined and cut.
using PathFn = void (*)(cairo_t *);

void solid(cairo_t *cr, std::initializer_list<PathFn> parts, std::initializer_list<PathFn> holes,
           cairo_pattern_t *fill)
{
    for (PathFn part : parts) {
        cairo_new_path(cr);
        part(cr);
        set(cr, kInk);
        cairo_set_line_width(cr, 2 * kOutline);
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
        cairo_stroke(cr);
    }
    for (PathFn part : parts) {
        cairo_new_path(cr);
        part(cr);
        cairo_set_source(cr, fill);
        cairo_fill(cr);
    }
    for (PathFn hole : holes) {
        cairo_new_path(cr);
        hole(cr);
        set(cr, kInk);
        cairo_set_line_width(cr, 2 * kOutline);
        cairo_stroke_preserve(cr);
        cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
        cairo_fill(cr);
        cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    }
}

// korva_5: a combination spanner along the diagonal, drawn along the x axis.
void draw_spanner(cairo_t *cr)
{
    cairo_translate(cr, 64, 64);
    cairo_rotate(cr, -kPi / 4);
    cairo_pattern_t *steel = cairo_pattern_create_linear(0, -14, 0, 14);
    stop(steel, 0, kSteelLight);
    stop(steel, 0.5, Rgb{0.74, 0.78, 0.84});
    stop(steel, 1, kSteelDark);
    solid(cr,
          {[](cairo_t *c) { rounded_rect(c, -44, -7, 88, 14, 5); },
           [](cairo_t *c) { cairo_arc(c, 56, 0, 19, 0, 2 * kPi); },
           [](cairo_t *c) { cairo_arc(c, -56, 0, 15, 0, 2 * kPi); }},
          {[](cairo_t *c) {
               // Open jaw, tilted as on a real spanner.
               cairo_save(c);
               cairo_translate(c, 58, 0);
               cairo_rotate(c, 0.26);
               cairo_rectangle(c, -2, -7.5, 40, 15);
               cairo_restore(c);
           },
           [](cairo_t *c) {
               for (int i = 0; i < 6; ++i) {
                   double a = i * kPi / 3 + kPi / 6;
                   double x = -56 + 8.5 * std::cos(a), y = 8.5 * std::sin(a);
                   if (i == 0)
                       cairo_move_to(c, x, y);
                   else
                       cairo_line_to(c, x, y);
               }
               cairo_close_path(c);
           }},
          steel);
    cairo_pattern_destroy(steel);
    // A groove along the handle.
    rounded_rect(cr, -30, -2, 60, 4, 2);
    set(cr, kSteelDark);
    cairo_fill(cr);
}

// korva_6: headphones seen from the front.
void draw_headphones(cairo_t *cr)
{
    // Headband: a dark strip with a lighter inner edge.
    cairo_new_path(cr);
    cairo_arc(cr, 64, 70, 46, kPi * 1.02, kPi * 1.98);
    set(cr, kInk);
    cairo_set_line_width(cr, 13);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_stroke(cr);
    cairo_new_path(cr);
    cairo_arc(cr, 64, 70, 46, kPi * 1.03, kPi * 1.97);
    set(cr, kBoxTop);
    cairo_set_line_width(cr, 8);
    cairo_stroke(cr);
    cairo_new_path(cr);
    cairo_arc(cr, 64, 70, 43, kPi * 1.10, kPi * 1.90);
    set(cr, Rgb{0.55, 0.59, 0.65});
    cairo_set_line_width(cr, 2);
    cairo_stroke(cr);
    for (double sign : {-1.0, 1.0}) {
        double x = 64 + sign * 44;
        // Yoke joining band and cup.
        rounded_rect(cr, x - 4, 60, 8, 18, 3);
        set(cr, kSteelDark);
        cairo_fill_preserve(cr);
        outline(cr, 1.5);
        // Cushion towards the head, cup outside.
        double cushion_x = sign < 0 ? x + 4 : x - 14;
        rounded_rect(cr, cushion_x, 70, 10, 44, 5);
        fill_linear(cr, cushion_x, 70, cushion_x + 10, 70, kBoxTop, kBoxBottom);
        outline(cr, 1.5);
        double cup_x = sign < 0 ? x - 12 : x - 6;
        rounded_rect(cr, cup_x - 4, 66, 22, 52, 10);
        fill_linear(cr, cup_x - 4, 66, cup_x + 18, 118, kBlueLight, kBlue);
        outline(cr);
        rounded_rect(cr, cup_x + 2, 76, 10, 32, 5);
        set(cr, Rgb{0.10, 0.33, 0.62});
        cairo_fill(cr);
    }
}

// korva_7: a screwdriver along the diagonal, handle bottom left.
void draw_screwdriver(cairo_t *cr)
{
    cairo_translate(cr, 64, 64);
    cairo_rotate(cr, -kPi / 4);
    // Shaft and flat tip.
    cairo_new_path(cr);
    cairo_move_to(cr, -6, -4);
    cairo_line_to(cr, 46, -4);
    cairo_line_to(cr, 58, -6.5);
    cairo_line_to(cr, 64, -6.5);
    cairo_line_to(cr, 64, 6.5);
    cairo_line_to(cr, 58, 6.5);
    cairo_line_to(cr, 46, 4);
    cairo_line_to(cr, -6, 4);
    cairo_close_path(cr);
    fill_linear(cr, 0, -6, 0, 6, kSteelLight, kSteelDark);
    outline(cr);
    // Ferrule.
    rounded_rect(cr, -16, -8, 12, 16, 2);
    fill_linear(cr, 0, -8, 0, 8, kSteelLight, kSteelDark);
    outline(cr);
    // Handle with grip grooves.
    rounded_rect(cr, -62, -13, 48, 26, 11);
    fill_linear(cr, 0, -13, 0, 13, Rgb{1.0, 0.75, 0.45}, kWarmDark);
    outline(cr);
    for (int i = 0; i < 3; ++i) {
        rounded_rect(cr, -52 + i * 12, -8, 7, 16, 3.5);
        set(cr, kWarmDark);
        cairo_fill(cr);
    }
}

struct Picture {
    const char *name;
    void (*draw)(cairo_t *);
};

constexpr std::array<Picture, 7> kPictures{{
    {"korva_1", draw_surround},
    {"korva_2", draw_room},
    {"korva_3", draw_beams},
    {"korva_4", draw_cone},
    {"korva_5", draw_spanner},
    {"korva_6", draw_headphones},
    {"korva_7", draw_screwdriver},
}};

// ---- Quantisation --------------------------------------------------------

struct Px {
    int r, g, b;
};

struct Image {
    std::vector<int> index;   // -1 transparent, else palette entry
    std::vector<Px> palette;  // exactly kColours entries
};

int dist2(Px a, Px b)
{
    int dr = a.r - b.r, dg = a.g - b.g, db = a.b - b.b;
    return 2 * dr * dr + 4 * dg * dg + db * db;
}

// Median cut: split the box with the widest channel at its median until
// there are kColours boxes or no box can be split.
std::vector<Px> median_cut(std::vector<Px> pixels)
{
    struct Box {
        size_t begin, end;
    };
    std::vector<Box> boxes{{0, pixels.size()}};
    auto spread = [&](const Box &b, int &channel) {
        int lo[3] = {255, 255, 255}, hi[3] = {0, 0, 0};
        for (size_t i = b.begin; i < b.end; ++i) {
            int v[3] = {pixels[i].r, pixels[i].g, pixels[i].b};
            for (int k = 0; k < 3; ++k) {
                lo[k] = std::min(lo[k], v[k]);
                hi[k] = std::max(hi[k], v[k]);
            }
        }
        channel = 0;
        for (int k = 1; k < 3; ++k)
            if (hi[k] - lo[k] > hi[channel] - lo[channel])
                channel = k;
        return hi[channel] - lo[channel];
    };
    while (boxes.size() < kColours) {
        int best = -1, best_spread = 0, best_channel = 0;
        for (size_t i = 0; i < boxes.size(); ++i) {
            int channel;
            int s = spread(boxes[i], channel) * static_cast<int>(boxes[i].end - boxes[i].begin);
            if (boxes[i].end - boxes[i].begin > 1 && s > best_spread) {
                best = static_cast<int>(i);
                best_spread = s;
                best_channel = channel;
            }
        }
        if (best < 0)
            break;
        Box b = boxes[best];
        auto key = [best_channel](const Px &p) {
            return best_channel == 0 ? p.r : best_channel == 1 ? p.g : p.b;
        };
        std::sort(pixels.begin() + b.begin, pixels.begin() + b.end,
                  [&](const Px &x, const Px &y) { return key(x) < key(y); });
        size_t mid = (b.begin + b.end) / 2;
        boxes[best] = {b.begin, mid};
        boxes.push_back({mid, b.end});
    }
    std::vector<Px> palette;
    for (const Box &b : boxes) {
        long sum[3] = {0, 0, 0};
        for (size_t i = b.begin; i < b.end; ++i) {
            sum[0] += pixels[i].r;
            sum[1] += pixels[i].g;
            sum[2] += pixels[i].b;
        }
        long n = static_cast<long>(b.end - b.begin);
        palette.push_back({static_cast<int>((sum[0] + n / 2) / n), static_cast<int>((sum[1] + n / 2) / n),
                           static_cast<int>((sum[2] + n / 2) / n)});
    }
    return palette;
}

int nearest(const std::vector<Px> &palette, Px p)
{
    int best = 0, best_d = dist2(palette[0], p);
    for (size_t i = 1; i < palette.size(); ++i) {
        int d = dist2(palette[i], p);
        if (d < best_d) {
            best_d = d;
            best = static_cast<int>(i);
        }
    }
    return best;
}

Image quantise(cairo_surface_t *surface)
{
    cairo_surface_flush(surface);
    const unsigned char *data = cairo_image_surface_get_data(surface);
    int stride = cairo_image_surface_get_stride(surface);
    std::vector<Px> colour(kSize * kSize);
    std::vector<bool> opaque(kSize * kSize);
    std::vector<Px> samples;
    for (int y = 0; y < kSize; ++y) {
        const uint32_t *row = reinterpret_cast<const uint32_t *>(data + y * stride);
        for (int x = 0; x < kSize; ++x) {
            uint32_t v = row[x];  // premultiplied ARGB
            int a = v >> 24;
            if (a < 128)
                continue;
            double ia = 1.0 - a / 255.0;
            auto blend = [ia](int premul, double bg) {
                return static_cast<int>(std::lround(premul + ia * bg * 255.0));
            };
            Px p{blend((v >> 16) & 0xff, kWindowBg.r), blend((v >> 8) & 0xff, kWindowBg.g),
                 blend(v & 0xff, kWindowBg.b)};
            colour[y * kSize + x] = p;
            opaque[y * kSize + x] = true;
            samples.push_back(p);
        }
    }
    Image img;
    img.palette = samples.empty() ? std::vector<Px>{} : median_cut(samples);
    // k-means refinement against all opaque pixels.
    for (int pass = 0; pass < 4 && !img.palette.empty(); ++pass) {
        std::vector<std::array<long, 4>> acc(img.palette.size(), {0, 0, 0, 0});
        for (const Px &p : samples) {
            auto &a = acc[nearest(img.palette, p)];
            a[0] += p.r;
            a[1] += p.g;
            a[2] += p.b;
            a[3] += 1;
        }
        for (size_t i = 0; i < acc.size(); ++i)
            if (acc[i][3] > 0)
                img.palette[i] = {static_cast<int>(acc[i][0] / acc[i][3]), static_cast<int>(acc[i][1] / acc[i][3]),
                                  static_cast<int>(acc[i][2] / acc[i][3])};
    }
    img.index.assign(kSize * kSize, -1);
    for (int i = 0; i < kSize * kSize; ++i)
        if (opaque[i])
            img.index[i] = nearest(img.palette, colour[i]);
    // Unused entries fill the palette up to its fixed size with distinct greys
    // that no pixel refers to.
    for (int k = 0; img.palette.size() < kColours; ++k) {
        Px filler{k, k, k};
        bool taken = std::any_of(img.palette.begin(), img.palette.end(), [&](const Px &p) {
            return p.r == filler.r && p.g == filler.g && p.b == filler.b;
        });
        if (!taken)
            img.palette.push_back(filler);
    }
    return img;
}

std::string code(int entry)
{
    if (entry < 0)
        return "  ";
    static const char digits[] = "0123456789ABCDEF";
    return {digits[entry >> 4], digits[entry & 15]};
}

void write_png(const Image &img, const std::string &path)
{
    cairo_surface_t *s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kSize, kSize);
    cairo_surface_flush(s);
    unsigned char *data = cairo_image_surface_get_data(s);
    int stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            int e = img.index[y * kSize + x];
            Px p = e < 0 ? Px{220, 218, 213} : img.palette[e];
            reinterpret_cast<uint32_t *>(data + y * stride)[x] =
                (static_cast<uint32_t>(p.r) << 16) | (static_cast<uint32_t>(p.g) << 8) | static_cast<uint32_t>(p.b);
        }
    cairo_surface_mark_dirty(s);
    cairo_surface_write_to_png(s, path.c_str());
    cairo_surface_destroy(s);
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: %s <output.cpp> [png-directory]\n", argv[0]);
        return 2;
    }
    std::FILE *out = std::fopen(argv[1], "w");
    if (!out) {
        std::perror(argv[1]);
        return 1;
    }
    std::fprintf(out,
                 "// The seven pictures of the configuration window, 128x128 XPM with 256\n"
                 "// colours plus \"None\". Generated by ui/pixmaps/gen_pixmaps.cpp; do not edit.\n"
                 "// Regenerate with:\n"
                 "//   cmake --build <build> --target regen_korva_pixmaps\n"
                 "// which runs <build>/ui/gen_korva_pixmaps ui/pixmaps/korva_pixmaps.cpp <build>/ui/pixmaps\n\n"
                 "#include \"korva_pixmaps.h\"\n\n"
                 "namespace korva_ui {\n");
    for (const Picture &pic : kPictures) {
        cairo_surface_t *s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kSize, kSize);
        cairo_t *cr = cairo_create(s);
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
        pic.draw(cr);
        cairo_destroy(cr);
        Image img = quantise(s);
        cairo_surface_destroy(s);

        std::fprintf(out, "\nconst char *const %s_xpm[kXpmLines] = {\n\"%d %d %d 2\",\n\"   c None\",\n", pic.name,
                     kSize, kSize, kColours + 1);
        for (int i = 0; i < kColours; ++i) {
            const Px &p = img.palette[i];
            std::fprintf(out, "\"%s c #%02X%02X%02X\",\n", code(i).c_str(), p.r, p.g, p.b);
        }
        for (int y = 0; y < kSize; ++y) {
            std::string row;
            for (int x = 0; x < kSize; ++x)
                row += code(img.index[y * kSize + x]);
            std::fprintf(out, "\"%s\"%s\n", row.c_str(), y + 1 < kSize ? "," : "");
        }
        std::fprintf(out, "};\n");
        if (argc == 3)
            write_png(img, std::string(argv[2]) + "/" + pic.name + ".png");
    }
    std::fprintf(out, "\n}  // namespace korva_ui\n");
    if (std::fclose(out) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
