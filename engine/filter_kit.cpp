#include "filter_kit.h"

namespace korva {

const WideCoeffs<6> wide_lowpass6_high = wide(lowpass6_high);
const WideCoeffs<6> wide_lowpass6_mid = wide(lowpass6_mid);
const WideCoeffs<6> wide_woofer_notch6_high = wide(woofer_notch6_high);
const WideCoeffs<6> wide_woofer_notch6_mid = wide(woofer_notch6_mid);
const WideCoeffs<3> wide_bass_lowpass3_high = wide(bass_lowpass3_high);
const WideCoeffs<3> wide_bass_lowpass3_mid = wide(bass_lowpass3_mid);
const WideCoeffs<3> wide_debass_lowpass3 = wide(debass_lowpass3);
const WideCoeffs<6> wide_mid_bandpass6 = wide(mid_bandpass6);
const WideCoeffs<6> wide_tube_bandpass6 = wide(tube_bandpass6);
const WideCoeffs<6> wide_high_bandpass6 = wide(high_bandpass6);

}  // namespace korva
