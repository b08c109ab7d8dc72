#include "response_plot.h"

#include "fileio/file_replace.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

namespace {

constexpr int width = 1000;
constexpr int height = 640;
constexpr double margin_left = 70, margin_right = 30, margin_bottom = 50;
constexpr double title_line = 20;
constexpr double axis_lowest_hz = 20.0;

struct Frame {
    double x0, x1, y0, y1;     // plot area in pixels (y0 top)
    double f_low, f_high;      // Hz
    double db_low, db_high;
    double x(double f) const { return x0 + (x1 - x0) * std::log(f / f_low) / std::log(f_high / f_low); }
    double y(double db) const
    {
        const double clamped = std::clamp(db, db_low, db_high);
        return y1 - (y1 - y0) * (clamped - db_low) / (db_high - db_low);
    }
};

// The dB range: whole multiples of 6 dB around the data with some room, at
// least -24..+12 dB, at most 72 dB tall (deeper notches run off the bottom).
void db_range(const std::vector<ResponsePoint> &points, double &low, double &high)
{
    double lo = -24.0, hi = 12.0;
    for (const ResponsePoint &p : points)
        for (double v : {p.left_db, p.right_db})
            if (std::isfinite(v)) {
                lo = std::min(lo, v - 3.0);
                hi = std::max(hi, v + 3.0);
            }
    high = std::ceil(hi / 6.0) * 6.0;
    low = std::max(std::floor(lo / 6.0) * 6.0, high - 72.0);
}

void text(cairo_t *cr, double x, double y, const char *s, double align_x)
{
    cairo_text_extents_t e;
    cairo_text_extents(cr, s, &e);
    cairo_move_to(cr, x - align_x * (e.width + e.x_bearing), y);
    cairo_show_text(cr, s);
}

void draw_grid(cairo_t *cr, const Frame &fr)
{
    cairo_set_line_width(cr, 1.0);
    cairo_set_font_size(cr, 12);
    // Frequency: a line at every 1..9 times a power of ten, labels at 1, 2, 5.
    for (double decade = 10.0; decade < fr.f_high; decade *= 10.0)
        for (int m = 1; m <= 9; ++m) {
            const double f = decade * m;
            if (f < fr.f_low || f > fr.f_high)
                continue;
            const bool labelled = m == 1 || m == 2 || m == 5;
            cairo_set_source_rgb(cr, labelled ? 0.75 : 0.88, labelled ? 0.75 : 0.88, labelled ? 0.75 : 0.88);
            const double x = std::round(fr.x(f)) + 0.5;
            cairo_move_to(cr, x, fr.y0);
            cairo_line_to(cr, x, fr.y1);
            cairo_stroke(cr);
            if (labelled) {
                char label[16];
                if (f >= 1000.0)
                    std::snprintf(label, sizeof label, "%gk", f / 1000.0);
                else
                    std::snprintf(label, sizeof label, "%g", f);
                cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
                text(cr, x, fr.y1 + 16, label, 0.5);
            }
        }
    const double step = fr.db_high - fr.db_low > 48.0 ? 12.0 : 6.0;
    for (double db = fr.db_low; db <= fr.db_high + 1e-9; db += step) {
        const double y = std::round(fr.y(db)) + 0.5;
        cairo_set_source_rgb(cr, db == 0.0 ? 0.45 : 0.8, db == 0.0 ? 0.45 : 0.8, db == 0.0 ? 0.45 : 0.8);
        cairo_move_to(cr, fr.x0, y);
        cairo_line_to(cr, fr.x1, y);
        cairo_stroke(cr);
        char label[16];
        std::snprintf(label, sizeof label, "%+g", db);
        cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
        text(cr, fr.x0 - 8, y + 4, db == 0.0 ? "0" : label, 1.0);
    }
    cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
    text(cr, (fr.x0 + fr.x1) / 2, fr.y1 + 36, "frequency (Hz)", 0.5);
    cairo_save(cr);
    cairo_translate(cr, 18, (fr.y0 + fr.y1) / 2);
    cairo_rotate(cr, -M_PI / 2);
    text(cr, 0, 0, "gain (dB)", 0.5);
    cairo_restore(cr);
    cairo_rectangle(cr, fr.x0 + 0.5, fr.y0 + 0.5, fr.x1 - fr.x0, fr.y1 - fr.y0);
    cairo_stroke(cr);
}

// One channel as a polyline; a point that is not finite breaks the line.
void draw_curve(cairo_t *cr, const Frame &fr, const std::vector<ResponsePoint> &points, bool right)
{
    bool drawing = false;
    for (const ResponsePoint &p : points) {
        const double db = right ? p.right_db : p.left_db;
        if (std::isnan(db)) {
            drawing = false;
            continue;
        }
        const double x = fr.x(p.frequency), y = fr.y(std::isinf(db) ? fr.db_low : db);
        if (drawing)
            cairo_line_to(cr, x, y);
        else
            cairo_move_to(cr, x, y);
        drawing = true;
    }
    cairo_stroke(cr);
}

void draw_legend(cairo_t *cr, const Frame &fr)
{
    const double x = fr.x1 - 110, y = fr.y0 + 20;
    cairo_set_source_rgba(cr, 1, 1, 1, 0.85);
    cairo_rectangle(cr, x - 10, y - 14, 112, 46);
    cairo_fill(cr);
    cairo_set_font_size(cr, 13);
    const struct {
        const char *name;
        double r, g, b;
        bool dashed;
    } keys[] = {{"left", 0.1, 0.35, 0.8, false}, {"right", 0.85, 0.2, 0.1, true}};
    for (int i = 0; i < 2; ++i) {
        const double dash[] = {6.0, 4.0};
        cairo_set_dash(cr, dash, keys[i].dashed ? 2 : 0, 0);
        cairo_set_source_rgb(cr, keys[i].r, keys[i].g, keys[i].b);
        cairo_set_line_width(cr, 2.0);
        cairo_move_to(cr, x, y + 20 * i - 4);
        cairo_line_to(cr, x + 36, y + 20 * i - 4);
        cairo_stroke(cr);
        cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
        text(cr, x + 44, y + 20 * i, keys[i].name, 0.0);
    }
    cairo_set_dash(cr, nullptr, 0, 0);
}

cairo_status_t write_to_fd(void *closure, const unsigned char *data, unsigned int length)
{
    const int fd = *static_cast<const int *>(closure);
    return korva::fileio::write_all(fd, data, length) ? CAIRO_STATUS_SUCCESS : CAIRO_STATUS_WRITE_ERROR;
}

} // namespace

Status write_response_png(const ResponsePlot &plot, int fd)
{
    std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> surface(
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height), cairo_surface_destroy);
    std::unique_ptr<cairo_t, decltype(&cairo_destroy)> context(cairo_create(surface.get()), cairo_destroy);
    cairo_t *cr = context.get();
    if (cairo_status(cr) != CAIRO_STATUS_SUCCESS)
        return failure(std::string("cannot draw the plot: ") + cairo_status_to_string(cairo_status(cr)));

    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(cr, 15);
    cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
    double y = 24;
    for (size_t i = 0; i < plot.title.size(); ++i, y += title_line) {
        if (i == 1) {
            cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
            cairo_set_font_size(cr, 13);
        }
        text(cr, margin_left, y, plot.title[i].c_str(), 0.0);
    }
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);

    Frame fr{margin_left, width - margin_right, y, height - margin_bottom, axis_lowest_hz, plot.rate / 2.0, 0, 0};
    db_range(plot.points, fr.db_low, fr.db_high);
    draw_grid(cr, fr);

    cairo_save(cr);
    cairo_rectangle(cr, fr.x0, fr.y0, fr.x1 - fr.x0, fr.y1 - fr.y0);
    cairo_clip(cr);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_set_line_width(cr, 2.0);
    cairo_set_source_rgb(cr, 0.1, 0.35, 0.8);
    draw_curve(cr, fr, plot.points, false);
    const double dash[] = {6.0, 4.0};
    cairo_set_dash(cr, dash, 2, 0);
    cairo_set_source_rgb(cr, 0.85, 0.2, 0.1);
    draw_curve(cr, fr, plot.points, true);
    cairo_restore(cr);
    draw_legend(cr, fr);

    cairo_surface_flush(surface.get());
    const cairo_status_t written = cairo_surface_write_to_png_stream(surface.get(), write_to_fd, &fd);
    if (written != CAIRO_STATUS_SUCCESS)
        return failure(std::string("cannot write the plot: ") + cairo_status_to_string(written));
    return success();
}
