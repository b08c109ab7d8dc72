#include "reference_model.h"

#include <cmath>
#include <cstring>
#include <math.h>

namespace reference {
namespace {

// Out-of-range rules the engine documents, restated.
float G(int32_t idx)
{
    if (idx < 0) idx = 0;
    if (idx > 512) idx = 512;
    return GainTable[idx];
}

int cls(int32_t rate)  // 0 low, 1 mid, 2 high
{
    if (rate <= 14999) return 0;
    if (rate <= 31999) return 1;
    return 2;
}

enum Pattern { Binomial6, Binomial3, Bandpass6, Bandstop6 };

struct Design {
    int order;
    Pattern pattern;
    double g;
    double a[6];
    double b1, b2, b3;
};

const Design LP6_H = {6, Binomial6, 0.0002835290529376749,
                      {-0.0916957868, 0.7643814944, -2.7105761157, 5.2526413293, -5.896816683, 3.6639199024}, 0, 0, 0};
const Design LP6_M = {6, Binomial6, 0.008702456844372918,
                      {-0.0062067884, 0.0642567105, -0.3135224876, 0.8083874003, -1.4643831856, 1.3545111126}, 0, 0, 0};
const Design WN6_H = {6, Bandstop6, 0.5526871360327571,
                      {-0.3052373668, 2.0845310901, -6.0903489921, 9.7727268553, -9.0814539433, 4.6193332118},
                      5.7200436558, 13.906299808, 18.371699648};
const Design WN6_M = {6, Bandstop6, 0.2869155260137894,
                      {-0.0754469872, 0.5642214165, -1.7103799565, 3.1242674976, -3.9121070303, 2.9909718995},
                      4.7975962989, 10.672310083, 13.685042204};
const Design BL3_H = {3, Binomial3, 2.811488331171418e-06, {0.9446013698, -2.8876354454, 2.9430115838}, 0, 0, 0};
const Design BL3_M = {3, Binomial3, 2.1873213050087885e-05, {0.8922614149, -2.7784710952, 2.8860346945}, 0, 0, 0};
const Design DB3 = {3, Binomial3, 5.90193430242709e-05, {0.8522285532, -2.6928851139, 2.8401844059}, 0, 0, 0};
const Design MID6 = {6, Bandpass6, 0.006645297675325221,
                     {-0.4224453303, 2.7287211002, -7.5581471972, 11.483266628, -10.08933094, 4.8569690846}, 0, 0, 0};
const Design TUBE6 = {6, Bandpass6, 0.001340968147999672,
                      {-0.6209937289, 1.7083166278, -3.7288988709, 4.4635023229, -4.368949026, 2.3479236245}, 0, 0, 0};
const Design HIGH6 = {6, Bandpass6, 0.02485115214794788,
                      {-0.2322026652, -1.0962566268, -2.7857444725, -4.3269859159, -4.5133757445, -2.9205544664}, 0, 0, 0};

float step(IirSection &s, float input, const Design &d)
{
    const int N = d.order;
    for (int k = 0; k < N; k++) s.in_hist[k] = s.in_hist[k + 1];
    s.in_hist[N] = (float)((double)input * d.g);
    for (int k = 0; k < N; k++) s.out_hist[k] = s.out_hist[k + 1];
    const float *x = s.in_hist;
    double n;
    if (d.pattern == Binomial6) {
        float v = (((x[0] + x[6]) + 6.0f * (x[1] + x[5])) + 15.0f * (x[2] + x[4])) + 20.0f * x[3];
        n = (double)v;
    } else if (d.pattern == Binomial3) {
        float v = (x[0] + x[3]) + 3.0f * (x[1] + x[2]);
        n = (double)v;
    } else if (d.pattern == Bandpass6) {
        float v = (x[6] - x[0]) + 3.0f * (x[2] - x[4]);
        n = (double)v;
    } else {
        float p06 = x[0] + x[6];
        float p15 = x[1] + x[5];
        float p24 = x[2] + x[4];
        n = (double)p06 - d.b1 * (double)p15 + d.b2 * (double)p24 - d.b3 * (double)x[3];
    }
    double sum = n;
    for (int k = 0; k < N; k++) sum += d.a[k] * (double)s.out_hist[k];
    s.out_hist[N] = (float)sum;
    return s.out_hist[N];
}

// Two-set design: high set once at the high class, mid set once or twice.
float two_set(IirSection &s, float x, int rate, const Design &high, const Design &mid)
{
    int c = cls(rate);
    if (c == 2) return step(s, x, high);
    float y = 0;
    for (int k = 0; k < (c == 0 ? 2 : 1); k++) y = step(s, x, mid);
    return y;
}

float single_set(IirSection &s, float x, int rate, const Design &d)
{
    int steps = cls(rate) == 2 ? 1 : cls(rate) == 1 ? 2 : 4;
    float y = 0;
    for (int k = 0; k < steps; k++) y = step(s, x, d);
    return y;
}

float resonator(IirSection &s, float x, int rate)
{
    int steps = cls(rate) == 2 ? 1 : cls(rate) == 1 ? 2 : 4;
    float out = 0;
    float *st = s.in_hist;
    for (int k = 0; k < steps; k++) {
        float sc = (float)((double)x * 0.36622211371196634);
        st[3] = sc;
        float y = (float)((double)sc + 0.91091669 * (double)st[1] - 0.05901919 * (double)st[2]);
        st[0] = y;
        st[2] = st[1];
        st[1] = st[0];
        out = y - sc;
    }
    return out;
}

float delay(DelayLine &d, float x, int rate)
{
    int D = cls(rate) == 2 ? 14 : cls(rate) == 1 ? 7 : 3;
    int p = d.position % 256;
    if (p < 0) p += 256;
    d.position = p;
    d.slot[(p + D) % 256] = x;
    float r = d.slot[p];
    d.position = p + 1;
    return r;
}

float dboost(float x)
{
    if (x <= 16384.0f && x >= -16384.0f) return x * 1.5f;
    if (x > 0) {
        float d = x - 16384.0f;
        return (float)((double)d * 0.5 + 24576.0);
    }
    float d = 16384.0f + x;
    return (float)((double)d * 0.5 - 24576.0);
}

void brainwave(KorvaEngine &e, int rate, float &L, float &R)
{
    const KorvaParams &p = e.params;
    if (p.bw_mode == 0) return;
    bool rate_changed = false;
    if (rate != e.bw_cached_rate) {
        e.bw_base_step = 0.0062831854f / (float)rate;
        e.bw_cached_rate = rate;
        e.bw_cached_fq = 0;
        rate_changed = true;
    }
    if (rate_changed || e.bw_cached_fq != p.bw_fq) {
        e.bw_step = e.bw_base_step * (float)p.bw_fq;
        e.bw_cached_fq = p.bw_fq;
    }
    float l = L * G(p.bw_sigpreamp);
    float r = R * G(p.bw_sigpreamp);
    float s = sinf(e.bw_phase);
    float m = (s * (l + r)) * G(p.bw_value);
    e.bw_phase += e.bw_step;
    long guard = 0;
    while (e.bw_phase > 6.2831855f) {
        float next = e.bw_phase - 6.2831855f;
        if (next == e.bw_phase || ++guard > 100000000L) { e.bw_phase = 0.0f; break; }
        e.bw_phase = next;
    }
    L = l + m;
    R = r - m;
}

void dewoofer(KorvaEngine &e, int rate, float &L, float &R)
{
    if (e.params.dewoofer == 0) return;
    float g = G(e.params.dewoofer);
    float nL = two_set(e.dewoofer_notch[0], L, rate, WN6_H, WN6_M);
    float newL = L + (nL - L) * g;
    float nR = two_set(e.dewoofer_notch[1], R, rate, WN6_H, WN6_M);
    float newR = R + (nR - R) * g;
    L = newL;
    R = newR;
}

void superbass(KorvaEngine &e, int rate, float &L, float &R)
{
    if (e.params.superbass == 0) return;
    float g = G(e.params.superbass);
    float bL = 8.0f * two_set(e.superbass_lp[0], L, rate, BL3_H, BL3_M);
    float eL = (float)((double)g * ((double)bL * 0.5));
    float bR = 8.0f * two_set(e.superbass_lp[1], R, rate, BL3_H, BL3_M);
    float eR = (float)((double)g * ((double)bR * 0.5));
    L = L + eL;
    R = R + eR;
}

void fidelity(KorvaEngine &e, int rate, float &L, float &R)
{
    if (e.params.fidelity == 0) return;
    float g = G(e.params.fidelity);
    float out[2];
    float in[2] = {L, R};
    for (int c = 0; c < 2; c++) {
        float x = in[c];
        float lp = two_set(e.fidelity_lp[c], x, rate, LP6_H, LP6_M);
        float h = x - lp;
        float a = x - h;
        a = a + dboost(dboost(h));
        a = a - x;
        out[c] = x + a * g;
    }
    L = out[0];
    R = out[1];
}

void vs(KorvaEngine &e, int rate, float &L, float &R)
{
    int S = 2048 >> (cls(rate) == 2 ? 0 : cls(rate) == 1 ? 1 : 2);
    if (e.params.vs_mode == 0 || e.params.vs_intensity == 0) return;
    float Go = G(e.params.vs_overdrive), Gi = G(e.params.vs_intensity);
    DelayLine &A = e.vs_ring[0], &B = e.vs_ring[1];
    float dA = A.slot[A.position] * Go;
    float eL = 8.0f * two_set(e.vs_lp[0], L, rate, BL3_H, BL3_M) + dA;
    float dB = B.slot[B.position] * Go;
    float eR = 8.0f * two_set(e.vs_lp[1], R, rate, BL3_H, BL3_M) + dB;
    A.position = (A.position + S) % 4096;
    B.position = (B.position + S) % 4096;
    B.slot[B.position] = eL;
    A.slot[A.position] = -eR;
    A.position = ((A.position - (S - 1)) % 4096 + 4096) % 4096;
    B.position = ((B.position - (S - 1)) % 4096 + 4096) % 4096;
    double k = 0.5 * (double)Gi;
    float aL = (float)(k * (double)eL);
    float aR = (float)(k * (double)eR);
    L = L + aL;
    R = R + aR;
}

void surround(KorvaEngine &e, int rate, float &L, float &R)
{
    if (e.params._3dsurround_mode == 0) return;
    float l = L, r = R;
    for (int i = 0; i < e.params._3dsurround_mode && i < 4; i++) {
        float Gd = G(e.params._3dsurround_depth), Gb = G(e.params._3dsurround_bass);
        float dL = two_set(e.surround_lp[i][0], l, rate, LP6_H, LP6_M);
        float eL = (float)((double)Gd * ((double)dL * 0.75));
        float dR = two_set(e.surround_lp[i][1], r, rate, LP6_H, LP6_M);
        float eR = (float)((double)Gd * ((double)dR * 0.75));
        float Ld = delay(e.surround_delay[i][0], l, rate);
        float Rd = delay(e.surround_delay[i][1], r, rate);
        l = (Ld - eR) + eL * Gb;
        r = (Rd - eL) + eR * Gb;
    }
    L = l;
    R = r;
}

void extspace(KorvaEngine &e, int rate, float &L, float &R)
{
    int mode = e.params.extspace_mode;
    if (mode == 0) return;
    int shift = cls(rate) == 0 ? 2 : cls(rate) == 1 ? 1 : 0;
    float *rl = e.extspace_ring[0], *rr = e.extspace_ring[1];
    int i = e.extspace_index;
    float xL = L, xR = R;
    if (mode == 1) {
        rl[i] = (float)((double)rl[i] - 0.75 * (double)xL);
        rr[i] = (float)((double)rr[i] - 0.75 * (double)xR);
        rl[(i - 1) & 0xfff] = 0;
        rr[(i - 1) & 0xfff] = 0;
        float sL = xL, sR = xR;
        const int base[5] = {172, 344, 516, 688, 860};
        const int sign[5] = {-1, 1, -1, 1, -1};
        for (int k = 0; k < 5; k++) {
            int d = base[k] >> shift;
            rl[(i + d) & 0xfff] += sL;
            if (sign[k] < 0) rr[(i + d) & 0xfff] -= sR;
            else rr[(i + d) & 0xfff] += sR;
            if (k < 4) { sL *= 0.5f; sR *= 0.5f; }
        }
        float yL = rl[i], yR = rr[i];
        e.extspace_index = (i + 1) & 0xfff;
        L = (float)((double)yL * 0.7267015);
        R = (float)((double)yR * 0.7267015);
    } else if (mode == 2) {
        int d1 = 172 >> shift;
        rl[i] += xL;
        rr[i] += xR;
        rl[(i - 1) & 0xfff] = 0;
        rr[(i - 1) & 0xfff] = 0;
        rl[(i + d1) & 0xfff] += xL;
        rr[(i + d1) & 0xfff] -= xR;
        float yL = rl[i], yR = rr[i];
        e.extspace_index = (i + 1) & 0xfff;
        L = (float)((double)yL * 0.7074413);
        R = (float)((double)yR * 0.7074413);
    }
}

void extfx(KorvaEngine &e, int rate, float &L, float &R)
{
    if (e.params.extfx_mode == 0) return;
    if (e.params.extfx_center > 0) {
        float g = G(e.params.extfx_center);
        float cL = resonator(e.extfx_center_res[0], L, rate);
        float aL = (float)((double)g * ((double)cL * 0.3));
        float cR = resonator(e.extfx_center_res[1], R, rate);
        float aR = (float)((double)g * ((double)cR * 0.3));
        L = L + (aL + aR);
        R = R + (aL + aR);
    }
    if (e.params.extfx_space > 0) {
        float g = G(e.params.extfx_space);
        float sL = resonator(e.extfx_space_res[0], L, rate) * g;
        float sR = resonator(e.extfx_space_res[1], R, rate) * g;
        float nL = (L + sL) - sR;
        float nR = (R + sR) - sL;
        L = nL;
        R = nR;
    }
    L = (float)((double)L * 0.88);
    R = (float)((double)R * 0.88);
}

void speaker(KorvaEngine &e, int rate, float &L, float &R)
{
    if (e.params.spc_mode == 0) return;
    struct Band { IirSection *st; const Design *d; int32_t idx; int sign; };
    Band bands[4] = {{e.spc_debass_lp, &DB3, e.params.spc_debass, -1},
                     {e.spc_mid_bp, &MID6, e.params.spc_mid, 1},
                     {e.spc_detube_bp, &TUBE6, e.params.spc_detube, -1},
                     {e.spc_high_bp, &HIGH6, e.params.spc_high, 1}};
    for (const Band &b : bands) {
        float g = G(b.idx);
        float fL = single_set(b.st[0], L, rate, *b.d);
        L = b.sign < 0 ? L - fL * g : L + fL * g;
        float fR = single_set(b.st[1], R, rate, *b.d);
        R = b.sign < 0 ? R - fR * g : R + fR * g;
    }
}

int16_t convert(float x)
{
    if (x > 32767.0f) x = 32767.0f;
    else if (x < -32767.0f) x = -32767.0f;
    if (std::isnan(x)) return 0;
    return (int16_t)x;
}

}  // namespace

void process(KorvaEngine &e, const int16_t *in, int16_t *out, int32_t frames)
{
    for (int32_t n = 0; n < frames; n++) {
        float L = (float)in[2 * n] + 1e-15f;
        float R = (float)in[2 * n + 1] + 1e-15f;
        const KorvaParams &p = e.params;
        const int rate = e.sample_rate > 0 ? e.sample_rate : 44100;
        if (p.enable_global) {
            if (p.enable_bw) brainwave(e, rate, L, R);
            dewoofer(e, rate, L, R);
            superbass(e, rate, L, R);
            fidelity(e, rate, L, R);
        }
        L = L * G(p.preamp);
        R = R * G(p.preamp);
        if (p.enable_global) {
            if (p.enable_vs) vs(e, rate, L, R);
            int row = (p.chain_index >= 0 && p.chain_index <= 5) ? p.chain_index : 0;
            for (int slot = 0; slot < 3; slot++) {
                static const char rows[6][4] = {"PFS", "PSF", "SPF", "SFP", "FSP", "FPS"};
                char c = rows[row][slot];
                if (c == 'S' && p.enable_3dsurround) surround(e, rate, L, R);
                if (c == 'P' && p.enable_extspace) extspace(e, rate, L, R);
                if (c == 'F' && p.enable_extfx) extfx(e, rate, L, R);
            }
            speaker(e, rate, L, R);
        }
        if (p.spc_phaseinvert) L = -L;
        if (p.spc_swapstereo) { float t = L; L = R; R = t; }
        out[2 * n] = convert(L);
        out[2 * n + 1] = convert(R);
    }
}

}  // namespace reference
