// Parameter blocks spelled as a table of fields and values, for tests and
// benchmarks. Header-only and free of calls into the engine, so it serves
// whichever copy of the engine a program links.
#ifndef KORVA_TESTS_SUPPORT_FIELD_VALUES_H
#define KORVA_TESTS_SUPPORT_FIELD_VALUES_H

#include "engine/korva.h"

#include <initializer_list>
#include <type_traits>
#include <variant>

namespace korva_test {

// One field of a parameter block, named by its member, and the value it takes.
struct FieldValue {
    std::variant<int8_t KorvaParams::*, int16_t KorvaParams::*, int32_t KorvaParams::*> field;
    int32_t value;
};

// `params` with each listed field set to its value (narrowed to the field's
// type), the other fields kept.
inline KorvaParams with_fields(KorvaParams params, std::initializer_list<FieldValue> fields)
{
    for (const FieldValue &f : fields)
        std::visit(
            [&](auto member) { params.*member = static_cast<std::remove_reference_t<decltype(params.*member)>>(f.value); },
            f.field);
    return params;
}

}  // namespace korva_test

#endif
