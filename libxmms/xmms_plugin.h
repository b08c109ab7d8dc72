/*
 * The player's side of the effect-plug-in interface: the audio format codes
 * and the EffectPlugin record, in the player's field order.
 */
#ifndef KORVA_LIBXMMS_XMMS_PLUGIN_H
#define KORVA_LIBXMMS_XMMS_PLUGIN_H

#ifdef __cplusplus
extern "C" {
#endif

typedef enum AFormat {
    FMT_U8,      /* 0 */
    FMT_S8,      /* 1 */
    FMT_U16_LE,  /* 2 */
    FMT_U16_BE,  /* 3 */
    FMT_U16_NE,  /* 4 */
    FMT_S16_LE,  /* 5 */
    FMT_S16_BE,  /* 6 */
    FMT_S16_NE   /* 7 */
} AFormat;

typedef struct EffectPlugin {
    void *handle;          /* filled in by the player */
    char *filename;        /* filled in by the player */
    char *description;
    void (*init)(void);
    void (*cleanup)(void);
    void (*about)(void);
    void (*configure)(void);
    int (*mod_samples)(void **data, int length, AFormat fmt, int srate, int nch);
    void (*query_format)(AFormat *fmt, int *rate, int *nch);
} EffectPlugin;

/* The one symbol the player looks up in an effect plug-in. */
typedef EffectPlugin *(*GetEffectPluginInfo)(void);

#ifdef __cplusplus
}
#endif

#endif
