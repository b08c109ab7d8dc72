// The seven pictures the configuration window carries in itself, as XPM
// text lines: the header "128 128 257 2", 257 colour lines ("None" first),
// then 128 rows of 256 characters.
#ifndef KORVA_UI_PIXMAPS_KORVA_PIXMAPS_H
#define KORVA_UI_PIXMAPS_KORVA_PIXMAPS_H

namespace korva_ui {

inline constexpr int kXpmLines = 386;

extern const char *const korva_1_xpm[kXpmLines];
extern const char *const korva_2_xpm[kXpmLines];
extern const char *const korva_3_xpm[kXpmLines];
extern const char *const korva_4_xpm[kXpmLines];
extern const char *const korva_5_xpm[kXpmLines];
extern const char *const korva_6_xpm[kXpmLines];
extern const char *const korva_7_xpm[kXpmLines];

}  // namespace korva_ui

#endif
