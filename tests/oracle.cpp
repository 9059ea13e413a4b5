#include "tests/oracle.h"

#include "engine/engine_state.h"

double oracle_render_normal(synth_engine& engine, int n) {
    engine_state& e = reference_state(engine);
    e.take_changes();
    instrument& I = e.in(n);
    if (I.hush.exchange(false))
        for (int n = 0; n < NOTES; ++n) I.velocity[n] = 0;
    I.starts.take([&](int n, int level, int fadelen) {
        I.velocity[n] = level;
        I.envpos[n] = 0;
        I.fadecount[n] = fadelen;
    });

    const double bend = e.bend_factor();
    for (int k = 0; k < OSCILLATORS; ++k) I.phase[k] = I.phase[k] + I.oscstep[k] * bend;

    const int A = usable_length(I.at(K_ATTACKLEN)), D = usable_length(I.at(K_DECAYLEN)),
              R = usable_length(I.at(K_RELEASELEN));
    double out = 0.0;
    bool sounding = false;
    for (int n = 0; n < RENDERED_NOTES; ++n) {
        if (I.velocity[n] == 0) continue;
        int& p = I.envpos[n];
        double env = 0.0;
        if (I.fadecount[n] > 0) I.fadecount[n]--;
        if (p < 0) I.velocity[n] = 0;
        if (0 <= p && p < A) {
            p++;
            env = double(p) / double(A) * I.at(K_ATTACK);
        }
        if (A <= p && p < A + D) {
            p++;
            double d = double(p - A) / double(D);
            env = d * I.at(K_DECAY) + (1.0 - d) * I.at(K_ATTACK);
        }
        if (p >= A + D) env = I.at(K_DECAY);
        if (e.noteon[n] == 0 && p >= A + D) {
            p++;
            env = (1.0 - double(p - A - D) / double(R)) * I.at(K_DECAY);
        }
        if (p >= A + D + R) {
            p = -1;
            I.velocity[n] = 0;
        }
        env = I.velocity[n] * 0.2 * env;
        if (I.fadecount[n] >= 0) {
            const int fadelen = I.at(K_FADELEN);
            env = fadelen > 0 ? env * (double(I.fadecount[n]) / double(fadelen)) : 0.0;
        }
        sounding = true;

        const int idx = int(e.setting(K_TRANSPOSE)) + n;
        if (idx < 0 || idx >= NOTES) continue;
        for (int k = 0; k < OSCILLATORS; ++k) {
            // A wave whose step is 0 (its offset too high to have a pitch) is silent.
            if (env > 0.0 && I.at(K_VOL, k) > 0.0 && (I.at(K_WAV, k) == 3 || I.oscstep[k] != 0.0)) {
                double x = I.phase[k] * hertz[idx], w;
                switch (int(I.at(K_WAV, k))) {
                case 0: w = sinwave(x); break;
                case 1: w = sqrwave(x); break;
                case 2: w = sawwave(x); break;
                case 3: w = rndwave(e.rng); break;
                default: continue;
                }
                out = out + ((w * I.at(K_VOL, k)) * env) * vibrato(e.oscvibrato, I.at(K_VIB, k));
            }
        }
    }
    if (!sounding)
        for (int k = 0; k < OSCILLATORS; ++k) I.phase[k] = 0.0;
    return out;
}

void oracle_stream(synth_engine& engine, int16_t* out, int n) {
    engine_state& e = reference_state(engine);
    for (int i = 0; i < n; ++i) {
        double sum = 0.0;
        sum = sum + oracle_render_normal(engine, 1);
        sum = sum + oracle_render_normal(engine, 2);
        out[i] = to_sample(sum);
        e.oscvibrato = e.oscvibrato + CYCLE / (double(outhertz) / 5.0);
        if (e.oscvibrato >= CYCLE) e.oscvibrato = e.oscvibrato - CYCLE;
    }
}

engine_snapshot snapshot(synth_engine& engine) {
    engine_state& e = reference_state(engine);
    e.take_changes();
    engine_snapshot s;
    s.value.assign(e.value, e.value + PARAM_COUNT);
    for (const instrument* in : {&e.i1, &e.i2}) {
        s.envpos.insert(s.envpos.end(), in->envpos, in->envpos + NOTES);
        s.velocity.insert(s.velocity.end(), in->velocity, in->velocity + NOTES);
        s.fadecount.insert(s.fadecount.end(), in->fadecount, in->fadecount + NOTES);
        s.phase.insert(s.phase.end(), in->phase, in->phase + OSCILLATORS);
        s.oscstep.insert(s.oscstep.end(), in->oscstep, in->oscstep + OSCILLATORS);
    }
    s.noteon.assign(e.noteon, e.noteon + NOTES);
    s.vibrato_phase = e.oscvibrato;
    s.noise = e.rng;
    return s;
}

void time_base_into_note(synth_engine& engine, int n, double seconds) {
    engine_state& e = reference_state(engine);
    e.take_changes();
    instrument& I = e.in(n);
    for (int k = 0; k < OSCILLATORS; ++k) I.phase[k] = seconds * 44100 * I.oscstep[k];
}
