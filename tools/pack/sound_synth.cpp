#include "sound_synth.hpp"

#include <algorithm>
#include <cmath>

#include "art/prng.hpp"
#include "little_endian.hpp"

namespace pellow::pack {

using art::Prng;

namespace {

constexpr double kRate = kSampleRate;

int Frames(double seconds) { return static_cast<int>(std::lround(seconds * kRate)); }

Stereo Silence(double seconds) {
    Stereo s;
    s.left.assign(Frames(seconds), 0.0f);
    s.right.assign(Frames(seconds), 0.0f);
    return s;
}

// Two-pole band-pass (constant peak gain), the workhorse for paper and cloth noises.
class BandPass {
public:
    BandPass(double centre, double q) { Tune(centre, q); }
    void Tune(double centre, double q) {
        const double w = 2 * M_PI * centre / kRate, alpha = std::sin(w) / (2 * q), a0 = 1 + alpha;
        b0_ = alpha / a0;
        b2_ = -alpha / a0;
        a1_ = -2 * std::cos(w) / a0;
        a2_ = (1 - alpha) / a0;
    }
    double operator()(double x) {
        const double y = b0_ * x + b2_ * x2_ - a1_ * y1_ - a2_ * y2_;
        x2_ = x1_;
        x1_ = x;
        y2_ = y1_;
        y1_ = y;
        return y;
    }

private:
    double b0_ = 0, b2_ = 0, a1_ = 0, a2_ = 0, x1_ = 0, x2_ = 0, y1_ = 0, y2_ = 0;
};

class LowPass {
public:
    explicit LowPass(double cutoff) { Tune(cutoff); }
    void Tune(double cutoff) { k_ = 1 - std::exp(-2 * M_PI * cutoff / kRate); }
    double operator()(double x) { return y_ += k_ * (x - y_); }

private:
    double k_ = 0, y_ = 0;
};

// Adds a mono signal at time `at`, placed by pan (-1 left .. 1 right, equal power).
void Mix(Stereo& out, const std::vector<float>& mono, double at, double pan, double gain) {
    const int start = Frames(at);
    const double angle = (pan + 1) * M_PI / 4;
    const float gl = static_cast<float>(gain * std::cos(angle) * M_SQRT2);
    const float gr = static_cast<float>(gain * std::sin(angle) * M_SQRT2);
    for (std::size_t i = 0; i < mono.size(); ++i) {
        const std::size_t j = start + i;
        if (j >= out.left.size()) break;
        out.left[j] += mono[i] * gl;
        out.right[j] += mono[i] * gr;
    }
}

// A card snapping onto the cloth: a crisp papery burst over a soft low knock.
std::vector<float> Flick(Prng& rng, double brightness, double decay) {
    std::vector<float> v(Frames(0.16));
    BandPass crack(brightness, 1.1), body(brightness * 0.35, 0.8);
    LowPass air(1800);
    for (std::size_t i = 0; i < v.size(); ++i) {
        const double t = i / kRate;
        const double n = rng.Range(-1, 1);
        // a short rush of air before the card lands
        const double pre = t < 0.012 ? std::pow(t / 0.012, 2) * 0.25 : 0.25 * std::exp(-(t - 0.012) / 0.004);
        const double tt = std::max(0.0, t - 0.012);
        const double snap = t < 0.012 ? 0 : std::exp(-tt / decay) * std::min(1.0, tt / 0.0015);
        const double knock = t < 0.012 ? 0 : std::sin(2 * M_PI * 170 * tt) * std::exp(-tt / 0.022) * 0.35;
        v[i] = static_cast<float>(air(n) * pre + crack(n) * snap * 2.4 + body(n) * snap * 1.2 +
                                  knock * std::min(1.0, tt / 0.002));
    }
    return v;
}

// A card pushed across felt: filtered friction noise that rises, wavers and settles.
std::vector<float> Slide(Prng& rng, double seconds, double centre, double sweep) {
    std::vector<float> v(Frames(seconds + 0.05));
    BandPass band(centre, 0.9);
    LowPass soft(3200), wobble(14);
    const double attack = 0.05, release = 0.12;
    for (std::size_t i = 0; i < v.size(); ++i) {
        const double t = i / kRate;
        band.Tune(centre * (1 + sweep * t / seconds), 0.9);
        double env = 1;
        if (t < attack) env = std::sin(M_PI / 2 * t / attack);
        if (t > seconds - release) env = std::max(0.0, (seconds - t) / release);
        env *= env;
        const double flutter = 0.75 + 0.5 * (wobble(rng.Range(-1, 1)) * 6 + 0.5);
        v[i] = static_cast<float>(soft(band(rng.Range(-1, 1))) * env * flutter * 2.2);
    }
    return v;
}

// A musical note: `partials` (ratio, weight) decaying at their own rates, with a short attack.
struct Voice {
    std::vector<std::pair<double, double>> partials;
    double attack = 0.005, decay = 0.5, brightDecay = 0.2, vibrato = 0;
};

std::vector<float> Note(const Voice& voice, double freq, double seconds, double release = 0.08) {
    std::vector<float> v(Frames(seconds + release));
    double phase[16] = {};
    for (std::size_t i = 0; i < v.size(); ++i) {
        const double t = i / kRate;
        const double vib = 1 + voice.vibrato * std::sin(2 * M_PI * 5.2 * t) * std::min(1.0, t / 0.25);
        double s = 0;
        for (std::size_t k = 0; k < voice.partials.size() && k < 16; ++k) {
            const auto [ratio, weight] = voice.partials[k];
            phase[k] += 2 * M_PI * freq * ratio * vib / kRate;
            // upper partials fade faster: the tone mellows as it sounds
            const double fade = std::exp(-t * (1 / voice.decay + (k ? (ratio - 1) / voice.brightDecay : 0)));
            s += weight * std::sin(phase[k]) * fade;
        }
        double env = std::min(1.0, t / voice.attack);
        if (t > seconds) env *= std::max(0.0, 1 - (t - seconds) / release);
        v[i] = static_cast<float>(s * env);
    }
    return v;
}

double Midi(int note) { return 440.0 * std::pow(2.0, (note - 69) / 12.0); }

Voice Mallet() { return {{{1, 1.0}, {2, 0.25}, {3.93, 0.3}, {9.2, 0.08}}, 0.003, 0.45, 0.35, 0}; }
Voice Brass() {
    Voice v;
    for (int k = 1; k <= 9; ++k) v.partials.push_back({k, 1.0 / (k * 0.8 + 0.2)});
    v.attack = 0.025;
    v.decay = 2.5;
    v.brightDecay = 6;
    v.vibrato = 0.004;
    return v;
}
Voice Muted() {
    Voice v{{{1, 1.0}, {2, 0.45}, {3, 0.3}, {4, 0.12}, {5, 0.06}}, 0.04, 3.0, 3.0, 0.006};
    return v;
}

// Ends every sound cleanly and keeps its loudest sample at `peak`.
void Finish(Stereo& s, double peak) {
    float maxAbs = 0;
    for (std::size_t i = 0; i < s.left.size(); ++i)
        maxAbs = std::max({maxAbs, std::abs(s.left[i]), std::abs(s.right[i])});
    const float g = maxAbs > 0 ? static_cast<float>(peak / maxAbs) : 1.0f;
    const std::size_t n = s.left.size();
    const std::size_t fadeIn = Frames(0.002), fadeOut = Frames(0.01);
    for (std::size_t i = 0; i < n; ++i) {
        float e = g;
        if (i < fadeIn) e *= static_cast<float>(i) / fadeIn;
        if (i + fadeOut >= n) e *= static_cast<float>(n - 1 - i) / fadeOut;
        s.left[i] *= e;
        s.right[i] *= e;
    }
}

Stereo CardFlip(std::uint64_t seed, double brightness, double decay, double pan) {
    Prng rng(seed);
    Stereo s = Silence(0.17);
    Mix(s, Flick(rng, brightness, decay), 0, pan, 1.0);
    Finish(s, 0.7);
    return s;
}

Stereo Sign(std::uint64_t seed, double seconds, double centre, double sweep, double panFrom, double panTo) {
    Prng rng(seed);
    Stereo s = Silence(seconds + 0.1);
    const std::vector<float> slide = Slide(rng, seconds, centre, sweep);
    // Move the slide across the stereo field in small pieces.
    const int pieces = 8;
    const std::size_t piece = slide.size() / pieces + 1;
    for (int p = 0; p < pieces; ++p) {
        std::vector<float> part(slide.begin() + std::min(slide.size(), p * piece),
                                slide.begin() + std::min(slide.size(), (p + 1) * piece));
        Mix(s, part, static_cast<double>(p * piece) / kRate, panFrom + (panTo - panFrom) * p / (pieces - 1), 1.0);
    }
    // The card comes to rest with a soft tap.
    Mix(s, Flick(rng, 2200, 0.008), seconds - 0.02, panTo, 0.45);
    Finish(s, 0.6);
    return s;
}

Stereo Shuffle() {
    Prng rng(0x5A0FF1E);
    Stereo s = Silence(1.55);
    // The riffle: two half-decks let go card by card, one from each thumb, quickest mid-way.
    double t = 0.03;
    const int cards = 52;
    for (int i = 0; i < cards; ++i) {
        const double x = static_cast<double>(i) / cards;
        const double gap = 0.022 - 0.011 * std::sin(M_PI * x) + rng.Range(-0.002, 0.002);
        const double pan = (i % 2 ? 0.35 : -0.35) + rng.Range(-0.1, 0.1);
        Mix(s, Flick(rng, rng.Range(3600, 5200), rng.Range(0.0025, 0.0045)), t - 0.012, pan, rng.Range(0.35, 0.55));
        t += gap;
    }
    // A purr of paper under the clicks.
    Mix(s, Slide(rng, t - 0.03, 2600, -0.2), 0.03, 0.0, 0.35);
    // The bridge: the cards cascade back together, then are squared with a knock.
    const double bridge = t + 0.12;
    Mix(s, Slide(rng, 0.32, 1800, -0.4), bridge, 0.0, 0.8);
    for (int i = 0; i < 18; ++i)
        Mix(s, Flick(rng, rng.Range(2500, 3500), 0.003), bridge + i * 0.016, rng.Range(-0.2, 0.2), 0.18);
    Mix(s, Flick(rng, 1400, 0.02), bridge + 0.36, 0.0, 0.9);
    Mix(s, Flick(rng, 1200, 0.02), bridge + 0.47, 0.0, 0.6);
    Finish(s, 0.75);
    return s;
}

Stereo Intro() {
    // A bright rising arpeggio that settles on its chord: the next deal is coming.
    Stereo s = Silence(1.6);
    const Voice m = Mallet();
    const int notes[] = {72, 76, 79, 84};
    for (int i = 0; i < 4; ++i) Mix(s, Note(m, Midi(notes[i]), 0.9 - i * 0.1), i * 0.11, -0.4 + 0.27 * i, 0.5);
    for (int n : {72, 76, 79}) Mix(s, Note(m, Midi(n), 0.9), 0.5, 0.0, 0.28);
    Finish(s, 0.7);
    return s;
}

Stereo WinFanfare() {
    // Three quick pickups, a leap and a held major chord with a drum under it.
    Stereo s = Silence(2.5);
    const Voice b = Brass();
    const int lead[] = {67, 67, 67, 72};
    const double at[] = {0.0, 0.13, 0.26, 0.42};
    // short, separate pickups: each note stops well before the next one starts
    const double len[] = {0.075, 0.075, 0.09, 0.3};
    for (int i = 0; i < 4; ++i) Mix(s, Note(b, Midi(lead[i]), len[i], 0.025), at[i], 0.0, 0.45);
    for (int n : {72, 76, 79, 84}) Mix(s, Note(b, Midi(n), 1.3, 0.45), 0.78, (n - 78) / 12.0 * 0.6, 0.27);
    Prng rng(0xD8u);
    Voice drum{{{1, 1.0}, {1.5, 0.5}, {2.2, 0.3}}, 0.002, 0.35, 0.08, 0};
    Mix(s, Note(drum, Midi(36), 0.6, 0.2), 0.78, 0.0, 0.6);
    Mix(s, Flick(rng, 5000, 0.12), 0.766, 0.3, 0.12);  // a cymbal's hiss
    Finish(s, 0.8);
    return s;
}

Stereo LoseSigh() {
    // A muted horn stepping down by semitones, the last note sagging and fading.
    Stereo s = Silence(2.6);
    const Voice v = Muted();
    const int notes[] = {67, 66, 65};
    for (int i = 0; i < 3; ++i) Mix(s, Note(v, Midi(notes[i]), 0.34, 0.08), i * 0.44, -0.15, 0.5);
    // the last note bends down a little as it dies away
    std::vector<float> last(Frames(1.2));
    double phase[5] = {};
    for (std::size_t i = 0; i < last.size(); ++i) {
        const double t = i / kRate;
        const double f = Midi(64) * (1 - 0.03 * std::pow(t / 1.2, 2)) * (1 + 0.008 * std::sin(2 * M_PI * 4.5 * t));
        double x = 0;
        for (int k = 0; k < 5; ++k) {
            phase[k] += 2 * M_PI * f * (k + 1) / kRate;
            x += v.partials[k].second * std::sin(phase[k]) * std::exp(-t * k * 0.9);
        }
        const double env = std::min(1.0, t / 0.05) * std::pow(1 - t / 1.2, 1.5);
        last[i] = static_cast<float>(x * env);
    }
    Mix(s, last, 1.32, -0.15, 0.5);
    // Held tones sound louder than clicks at the same peak: keep it level with the others.
    Finish(s, 0.45);
    return s;
}

void PutTag(std::vector<std::uint8_t>& v, const char* tag) {
    for (int i = 0; i < 4; ++i) v.push_back(static_cast<std::uint8_t>(tag[i]));
}

}  // namespace

std::vector<std::uint8_t> EncodeWav(const Stereo& s) {
    const std::uint32_t frames = static_cast<std::uint32_t>(s.left.size());
    const std::uint32_t dataBytes = frames * 4;
    std::vector<std::uint8_t> v;
    PutTag(v, "RIFF");
    Put32(v, 36 + dataBytes);
    PutTag(v, "WAVE");
    PutTag(v, "fmt ");
    Put32(v, 16);
    Put16(v, 1);  // PCM
    Put16(v, 2);
    Put32(v, kSampleRate);
    Put32(v, kSampleRate * 4);
    Put16(v, 4);
    Put16(v, 16);
    PutTag(v, "data");
    Put32(v, dataBytes);
    for (std::uint32_t i = 0; i < frames; ++i)
        for (float x : {s.left[i], s.right[i]}) {
            const long q = std::lround(std::clamp(x, -1.0f, 1.0f) * 32767.0f);
            Put16(v, static_cast<std::uint32_t>(static_cast<std::int16_t>(q)) & 0xFFFF);
        }
    return v;
}

std::vector<SoundFile> SynthesiseSounds() {
    std::vector<std::pair<std::string, Stereo>> all;
    all.emplace_back("CARD_FLIP.WAV", CardFlip(101, 3000, 0.018, -0.1));
    all.emplace_back("CARD_FLIP2.WAV", CardFlip(202, 3700, 0.014, 0.05));
    all.emplace_back("CARD_FLIP3.WAV", CardFlip(303, 2500, 0.022, 0.15));
    all.emplace_back("SIGN1.WAV", Sign(404, 0.32, 1900, -0.25, -0.3, 0.3));
    all.emplace_back("SIGN2.WAV", Sign(505, 0.26, 2300, -0.3, 0.3, -0.2));
    all.emplace_back("SIGN3.WAV", Sign(606, 0.38, 1600, -0.2, -0.1, 0.35));
    all.emplace_back("SHUFFLE.WAV", Shuffle());
    all.emplace_back("INTRO.WAV", Intro());
    all.emplace_back("WIN_GAME.WAV", WinFanfare());
    all.emplace_back("LOSE_GAME.WAV", LoseSigh());
    std::vector<SoundFile> files;
    for (auto& [name, sound] : all) files.push_back({name, EncodeWav(sound)});
    return files;
}

}  // namespace pellow::pack
