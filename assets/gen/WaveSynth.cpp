#include "WaveSynth.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace WaveSynth {
namespace {

constexpr double TwoPi = 2.0 * std::numbers::pi;

// Scales so that the largest magnitude becomes exactly nPeak; the tests and
// the listener both rely on stated peaks rather than on "about".
std::vector<int16_t> Quantise(const std::vector<double>& values, int nPeak)
{
    double dMax = 0.0;
    for (double d : values)
        dMax = std::max(dMax, std::abs(d));
    std::vector<int16_t> samples(values.size());
    if (dMax == 0.0)
        return samples;
    const double dScale = nPeak / dMax;
    for (size_t i = 0; i < values.size(); ++i)
        samples[i] = static_cast<int16_t>(std::lround(values[i] * dScale));
    return samples;
}

void PutLe16(QByteArray& out, uint16_t n)
{
    out.append(static_cast<char>(n & 0xFF));
    out.append(static_cast<char>(n >> 8));
}

void PutLe32(QByteArray& out, uint32_t n)
{
    PutLe16(out, static_cast<uint16_t>(n & 0xFFFF));
    PutLe16(out, static_cast<uint16_t>(n >> 16));
}

} // namespace

std::vector<int16_t> Tone(int nFrequency, int nPeak)
{
    std::vector<double> values(ToneSamples);
    // The phase is reduced exactly in integers so the cycle repeats
    // bit-for-bit over the whole 5 s.
    for (int n = 0; n < ToneSamples; ++n) {
        const long long nPhase = (static_cast<long long>(n) * nFrequency) % SampleRate;
        values[n] = std::sin(TwoPi * static_cast<double>(nPhase) / SampleRate);
    }
    return Quantise(values, nPeak);
}

std::vector<int16_t> LoseBuzz()
{
    constexpr double StartHz = 760.0;
    constexpr double EndHz = 420.0;
    constexpr double AttackSeconds = 0.008;
    const double dLength = static_cast<double>(LoseSamples) / SampleRate;
    std::vector<double> values(LoseSamples);
    for (int n = 0; n < LoseSamples; ++n) {
        const double t = static_cast<double>(n) / SampleRate;
        // Phase of a linear glide: integral of f(t) = Start + (End - Start) t / L.
        const double dPhase = TwoPi * (StartHz * t + 0.5 * (EndHz - StartHz) * t * t / dLength);
        // A soft-clipped sine: buzzy like a square wave, but with the sine's
        // zero crossings.
        const double dBuzz = std::tanh(4.0 * std::sin(dPhase)) / std::tanh(4.0);
        const double dAttack = std::min(1.0, t / AttackSeconds);
        const double dFade = std::pow(1.0 - t / dLength, 1.3);
        values[n] = dBuzz * dAttack * dFade;
    }
    return Quantise(values, 12000);
}

std::vector<int16_t> WinJingle()
{
    struct Note {
        double dStart;
        double dHz;
        double dDecay; // time constant in seconds
        double dPan;   // 0 left .. 1 right
    };
    static constexpr Note Notes[] = {
        {0.00, 1244.5, 0.09, 0.30}, // D#6
        {0.12, 1318.5, 0.09, 0.70}, // E6
        {0.24, 1396.9, 0.09, 0.30}, // F6
        {0.36, 1318.5, 0.09, 0.70}, // E6
        {0.50, 1480.0, 0.16, 0.50}, // F#6, held
    };
    constexpr double AttackSeconds = 0.004;
    const double dLength = static_cast<double>(WinFrames) / SampleRate;
    // Everything has faded by four fifths of the length; the rest is a tail
    // of near silence.
    const double dFadeEnd = 0.8 * dLength;

    std::vector<double> values(2 * static_cast<size_t>(WinFrames));
    for (int n = 0; n < WinFrames; ++n) {
        const double t = static_cast<double>(n) / SampleRate;
        double dLeft = 0.0;
        double dRight = 0.0;
        for (const Note& note : Notes) {
            const double u = t - note.dStart;
            if (u < 0.0)
                continue;
            const double x = TwoPi * note.dHz * u;
            // A second harmonic brightens the bell without adding zero
            // crossings.
            const double dWave = std::sin(x) + 0.3 * std::sin(2.0 * x);
            const double dEnv = std::min(1.0, u / AttackSeconds) * std::exp(-u / note.dDecay);
            dLeft += dWave * dEnv * (1.0 - note.dPan);
            dRight += dWave * dEnv * note.dPan;
        }
        double dFade = 1.0;
        if (t >= dFadeEnd)
            dFade = 0.0;
        else if (t > 0.6 * dLength)
            dFade = 0.5 + 0.5 * std::cos(std::numbers::pi * (t - 0.6 * dLength) / (dFadeEnd - 0.6 * dLength));
        values[2 * n] = dLeft * dFade;
        values[2 * n + 1] = dRight * dFade;
    }
    return Quantise(values, 22000);
}

QByteArray EncodeWave(const std::vector<int16_t>& samples, int nChannels)
{
    constexpr int BitsPerSample = 16;
    const uint32_t nDataBytes = static_cast<uint32_t>(samples.size() * sizeof(int16_t));
    const uint16_t nBlockAlign = static_cast<uint16_t>(nChannels * BitsPerSample / 8);
    QByteArray out;
    out.reserve(44 + static_cast<int>(nDataBytes));
    out.append("RIFF", 4);
    PutLe32(out, 36 + nDataBytes);
    out.append("WAVE", 4);
    out.append("fmt ", 4);
    PutLe32(out, 16);
    PutLe16(out, 1); // PCM
    PutLe16(out, static_cast<uint16_t>(nChannels));
    PutLe32(out, SampleRate);
    PutLe32(out, SampleRate * nBlockAlign);
    PutLe16(out, nBlockAlign);
    PutLe16(out, BitsPerSample);
    out.append("data", 4);
    PutLe32(out, nDataBytes);
    for (int16_t s : samples)
        PutLe16(out, static_cast<uint16_t>(s));
    return out;
}

} // namespace WaveSynth
