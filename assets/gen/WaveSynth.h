// Synthesis of Quado's sounds and their RIFF/WAVE encoding. Used only by the
// build-time asset generator.
#pragma once

#include <cstdint>
#include <vector>

#include <QByteArray>

namespace WaveSynth {

inline constexpr int SampleRate = 22050;
inline constexpr int ToneSamples = 110250;
inline constexpr int LoseSamples = 23792;
inline constexpr int WinFrames = 42752;

// A steady mono sine of nFrequency Hz whose largest sample is exactly
// nPeak. It starts at zero phase, and since every tone holds a whole number
// of cycles in 5 s a looped tone joins without a step.
std::vector<int16_t> Tone(int nFrequency, int nPeak);

// The mono lose sound: a buzz falling from about 760 to about 420 Hz that
// fades out.
std::vector<int16_t> LoseBuzz();

// The stereo win jingle, interleaved left/right: short notes between 1.2 and
// 1.5 kHz that fade out, the last fifth nearly silent.
std::vector<int16_t> WinJingle();

// A complete canonical RIFF/WAVE file: PCM, 16 bits, 22,050 Hz.
QByteArray EncodeWave(const std::vector<int16_t>& samples, int nChannels);

} // namespace WaveSynth
