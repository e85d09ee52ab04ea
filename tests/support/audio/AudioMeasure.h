#pragma once
// Measuring sound: energy, level, peaks, periods, harmonics, and the disk driver's recordings.

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace tovel_test {

std::vector<float> Floats(const std::string& bytes, std::size_t at, std::size_t count);

// The sum of the squared samples.
double Energy(const std::vector<float>& x);
// An energy ratio in decibels.
double Decibels(double energyRatio);
// The largest magnitude of x[begin, end).
double Peak(const std::vector<float>& x, std::size_t begin, std::size_t end);

// The period in samples of x[begin, end), by the cumulative-mean-normalised difference: the first
// dip below 0.1, refined between samples. 0 when nothing there repeats.
double Period(const std::vector<float>& x, std::size_t begin, std::size_t end, std::size_t maxLag);

// The amplitude of each of the first `count` harmonics of a sound that repeats every `period`
// samples, over the whole periods of x[begin, end): exact bins, so a steady sound leaks nothing
// into its neighbours.
std::vector<double> HarmonicLevels(const std::vector<float>& x, std::size_t begin, std::size_t end,
                                   std::size_t period, std::size_t count);

// The first channel of a disk-driver recording of 32-bit float frames; two channels are taken
// when every frame carries the same sample twice (the mono mix on a stereo device). Fails the
// test, and stops reading, at a sample that is not finite or beyond full scale.
std::vector<float> ReadDeviceRecording(const std::filesystem::path& raw, std::size_t* channels);

}  // namespace tovel_test
