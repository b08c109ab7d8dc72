/*
 * Korva processing engine: the engine record, its parameter block and the
 * operations on them. Everything here has C linkage and is exported from
 * libxmkorva.so under its own name.
 */
#ifndef KORVA_ENGINE_KORVA_H
#define KORVA_ENGINE_KORVA_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/*
 * The 96-byte parameter block. Its layout is a file format (presets) and an
 * interface (other programs write it at offset 0 of the engine record), so
 * every offset, width and padding byte is fixed. Flags are signed 8-bit
 * (non-zero means on), option choices signed 16-bit, amounts signed 32-bit.
 */
typedef struct KorvaParams {
    int8_t  enable_global;      /*  0 */
    int8_t  pad_1;              /*  1 */
    int16_t chain_index;        /*  2 */
    int32_t preamp;             /*  4 */
    int32_t superbass;          /*  8 */
    int32_t dewoofer;           /* 12 */
    int32_t fidelity;           /* 16 */
    int8_t  enable_3dsurround;  /* 20 */
    int8_t  enable_extspace;    /* 21 */
    int8_t  enable_extfx;       /* 22 */
    int8_t  enable_vs;          /* 23 */
    int8_t  enable_bw;          /* 24 */
    int8_t  pad_25;             /* 25 */
    int16_t _3dsurround_mode;   /* 26 */
    int32_t _3dsurround_depth;  /* 28 */
    int32_t _3dsurround_bass;   /* 32 */
    int16_t extspace_mode;      /* 36 */
    int16_t extfx_mode;         /* 38 */
    int32_t extfx_space;        /* 40 */
    int32_t extfx_center;       /* 44 */
    int16_t vs_mode;            /* 48 */
    int16_t pad_50;             /* 50 */
    int32_t vs_overdrive;       /* 52 */
    int32_t vs_intensity;       /* 56 */
    int8_t  spc_swapstereo;     /* 60 */
    int8_t  spc_phaseinvert;    /* 61 */
    int16_t spc_mode;           /* 62 */
    int32_t spc_debass;         /* 64 */
    int32_t spc_detube;         /* 68 */
    int32_t spc_mid;            /* 72 */
    int32_t spc_high;           /* 76 */
    int16_t bw_mode;            /* 80 */
    int16_t pad_82;             /* 82 */
    int32_t bw_fq;              /* 84 */
    int32_t bw_value;           /* 88 */
    int32_t bw_sigpreamp;       /* 92 */
} KorvaParams;

#define KORVA_PARAMS_SIZE 96

/* State of one recursive filter: input and output histories, oldest first. */
typedef struct IirSection {
    float in_hist[7];
    float out_hist[7];
} IirSection;

#define KORVA_DELAY_SLOTS 4096

/* State of one delay or ring: a slot counter and the sample store. */
typedef struct DelayLine {
    int32_t position;
    float   slot[KORVA_DELAY_SLOTS];
} DelayLine;

#define KORVA_SURROUND_PASSES 4
#define KORVA_EXTSPACE_SLOTS 4096

/*
 * The engine record: the parameter block, the sample rate, then the working
 * state of every stage. All-zero bits are a valid (silent) working state.
 */
typedef struct KorvaEngine {
    KorvaParams params;                                 /* offset 0  */
    int32_t     sample_rate;                            /* offset 96 */

    IirSection  surround_lp[KORVA_SURROUND_PASSES][2];
    IirSection  dewoofer_notch[2];
    IirSection  superbass_lp[2];
    IirSection  vs_lp[2];
    IirSection  extfx_center_res[2];
    IirSection  extfx_space_res[2];
    IirSection  spc_debass_lp[2];
    IirSection  spc_mid_bp[2];
    IirSection  spc_detube_bp[2];
    IirSection  spc_high_bp[2];
    IirSection  fidelity_lp[2];
    DelayLine   surround_delay[KORVA_SURROUND_PASSES][2];
    int32_t     extspace_index;
    float       extspace_ring[2][KORVA_EXTSPACE_SLOTS];
    DelayLine   vs_ring[2];
    int32_t     bw_cached_rate;
    int32_t     bw_cached_fq;
    float       bw_base_step;
    float       bw_phase;
    float       bw_step;
} KorvaEngine;

#define KORVA_GAIN_STEPS 513
#define KORVA_DEFAULT_RATE 44100

/* Gains by parameter step: entry i is i/256 rounded to four decimals, entry 0 is 1e-15. */
extern const float GainTable[KORVA_GAIN_STEPS];

/* Order of 3D Surround ('S'), extSpace ('P') and extFX ('F') by chain_index. */
extern const char ChainTable[6][4];

/* Lifecycle. korva_new returns null when the allocation fails. */
KorvaEngine *korva_new(void);
void korva_reset(KorvaEngine *engine);
void korva_delete(KorvaEngine *engine);
/*
 * Returns every stage to silence (filter histories, delay lines, rings and
 * the brainwave oscillator) and keeps the parameter block and sample_rate:
 * what a host does on a seek or on activation. It rewrites the state the
 * audio path uses, so call it on the processing thread or while no block is
 * being processed. A null engine is allowed.
 */
void korva_clear_state(KorvaEngine *engine);

/* Writes every parameter of the block to its default value. */
void korva_default_params(KorvaParams *params);

/*
 * Runs `frames` interleaved 16-bit stereo frames (left first) from `in` to
 * `out`; the two may be the same buffer. A count of 0 or below touches nothing.
 */
void korva_process(KorvaEngine *engine, const int16_t *in, int16_t *out, int32_t frames);

/*
 * The same chain on interleaved float stereo frames in the 16-bit scale
 * (full scale 32767), without the 16-bit ends: nothing is converted, clipped
 * or truncated, so a quiet signal keeps its precision. What korva_process
 * does to a frame is this followed by clipping to +-32767 and truncation.
 * `in` and `out` may be the same buffer; a count of 0 or below touches nothing.
 */
void korva_process_float(KorvaEngine *engine, const float *in, float *out, int32_t frames);

/*
 * Stage entries. Each takes the engine, the sample rate in hertz and the two
 * float working samples of one frame, which it changes in place.
 */
void korva_brainwave(KorvaEngine *engine, int32_t rate, float *left, float *right);
void korva_dewoofer(KorvaEngine *engine, int32_t rate, float *left, float *right);
void korva_superbass(KorvaEngine *engine, int32_t rate, float *left, float *right);
void korva_fidelity(KorvaEngine *engine, int32_t rate, float *left, float *right);
void korva_vs(KorvaEngine *engine, int32_t rate, float *left, float *right);
void korva_3dsurround(KorvaEngine *engine, int32_t rate, float *left, float *right);
void korva_extspace(KorvaEngine *engine, int32_t rate, float *left, float *right);
void korva_extfx(KorvaEngine *engine, int32_t rate, float *left, float *right);
void korva_speaker_tuning(KorvaEngine *engine, int32_t rate, float *left, float *right);

/* Fidelity's piecewise-linear curve: slope 1.5 up to +-16384, 0.5 beyond. */
float dBoost(float x);

/*
 * Parameter access that is safe while the audio thread processes: every field
 * is read or written with one atomic access of its own width.
 */
void korva_params_read(const KorvaEngine *engine, KorvaParams *out);
void korva_params_write(KorvaEngine *engine, const KorvaParams *in);

/*
 * Reset and a preset load replace the whole block but never the master
 * switch, reversed stereo or phase invert: copies enable_global,
 * spc_swapstereo and spc_phaseinvert from `in_force` into `next`.
 */
void korva_params_keep_switches(KorvaParams *next, const KorvaParams *in_force);

/* Preset files (110 bytes): the format here, as bytes; files on disk are
 * preset_file/preset_file.h's. */
#define KORVA_PRESET_FILE_SIZE 110

/* Why a file is, or is not, a preset. */
typedef enum KorvaPresetStatus {
    KORVA_PRESET_OK = 0,
    KORVA_PRESET_CANNOT_OPEN,  /* cannot be opened or read; `error` holds errno */
    KORVA_PRESET_NOT_REGULAR,  /* a directory, device, FIFO or socket: never read */
    KORVA_PRESET_TOO_SHORT,    /* ends before the 110 bytes */
    KORVA_PRESET_WRONG_MAGIC,  /* does not start with "KORVA551" */
    KORVA_PRESET_BAD_LENGTH    /* the length, read in the marker's byte order, is not 96 */
} KorvaPresetStatus;

/* What korva_preset_read found. Fields past the failing check are 0. */
typedef struct KorvaPresetInfo {
    KorvaPresetStatus status;
    int error;              /* errno for KORVA_PRESET_CANNOT_OPEN, else 0 */
    int64_t file_size;      /* bytes in the file; -1 when it could not be examined */
    int32_t head_bytes;     /* how many of head[] were read (at most 14) */
    unsigned char head[14]; /* magic, byte-order marker and length as read */
    int swapped;            /* 1 when the marker differs from this machine's: the other byte order */
    int32_t payload_length; /* the length field in the marker's byte order */
    KorvaParams params;     /* with KORVA_PRESET_OK: the block in this machine's byte order */
} KorvaPresetInfo;

/*
 * Checks `size` bytes of a preset file's image (the first 110 are looked at)
 * in file order and reads its block: info->status, with info->file_size kept
 * as the caller set it. KORVA_PRESET_CANNOT_OPEN for a null info.
 */
KorvaPresetStatus korva_preset_decode(const unsigned char *bytes, size_t size, KorvaPresetInfo *info);
/* The 110 bytes of a preset file holding *params, in this machine's order. */
void korva_preset_encode(const KorvaParams *params, unsigned char *out);
/* Reverses every 2- and 4-byte field of a 96-byte block in place; returns 0. */
int korva_patch_endian(void *block);
/* Reverses 2 or 4 bytes in place; any other width leaves them alone. */
void patchendian(void *data, int width);

#ifdef __cplusplus
}
#endif

#endif
