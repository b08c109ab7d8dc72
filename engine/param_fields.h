/*
 * The 32 parameter fields by name, in block order: the names are the
 * configuration keys without their "xmkorva_" prefix. Used by every reader
 * and writer that handles fields one by one (configuration keys, the command
 * line, preset listings, byte-order swapping).
 */
#ifndef KORVA_ENGINE_PARAM_FIELDS_H
#define KORVA_ENGINE_PARAM_FIELDS_H

#include "korva.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct KorvaParamField {
    const char *name;   /* field name, e.g. "_3dsurround_mode" */
    int offset;         /* byte offset inside KorvaParams */
    int width;          /* 1, 2 or 4 bytes, signed */
} KorvaParamField;

#define KORVA_PARAM_FIELD_COUNT 32

extern const KorvaParamField korva_param_fields[KORVA_PARAM_FIELD_COUNT];

/* The field of that name, or null. */
const KorvaParamField *korva_param_field_find(const char *name);

/* The field's value, sign-extended to 32 bits. */
int32_t korva_param_get(const KorvaParams *params, const KorvaParamField *field);

/* Stores the low 8, 16 or 32 bits of value (two's complement) into the field. */
void korva_param_set(KorvaParams *params, const KorvaParamField *field, int32_t value);

#ifdef __cplusplus
}
#endif

#endif
