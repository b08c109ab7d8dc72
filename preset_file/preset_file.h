/*
 * Preset files (110 bytes) on disk: the one reader and the one writer, over
 * the engine's byte format (engine/korva.h: korva_preset_decode and
 * korva_preset_encode). Writing replaces the file as fileio/file_replace.h
 * describes; an existing target that is not a regular file (device, FIFO)
 * is refused, and so is reading one.
 */
#ifndef KORVA_PRESET_FILE_PRESET_FILE_H
#define KORVA_PRESET_FILE_PRESET_FILE_H

#include "engine/korva.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Both return 1 on success, 0 on failure. korva_load changes the engine
 * only after a complete and valid read; korva_save writes one snapshot of
 * the live block. */
int korva_save(KorvaEngine *engine, const char *path);
int korva_load(KorvaEngine *engine, const char *path);

/*
 * Reads a preset file into a parameter block without touching any engine, so
 * the file can be read before a lock is taken; 1 on success, 0 on failure
 * (out is then unchanged).
 */
int korva_read_preset(const char *path, KorvaParams *out);

/*
 * The one preset reader: checks a file and reads its block without any
 * engine. Returns info->status (KORVA_PRESET_CANNOT_OPEN for a null path;
 * nothing is written through a null info).
 */
KorvaPresetStatus korva_preset_read(const char *path, KorvaPresetInfo *info);

/* The reader and the writer in the shape of the window model's preset hooks
 * (ui/window_model.h's load_preset and save_preset); user_data is unused. */
int korva_preset_load_hook(void *user_data, const char *path, KorvaParams *block);
int korva_preset_save_hook(void *user_data, const char *path, const KorvaParams *block);

#ifdef __cplusplus
}
#endif

#endif
