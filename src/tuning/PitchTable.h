#pragma once

#include <cstdint>

#include "tuning/CSingleScale.h"

// Lowest and highest frequency a tuning can reach the engine with: those of pitch 0 and 17280.
constexpr double kLowestTunedFrequency = 8.176;
constexpr double kHighestTunedFrequency = 19912.127;

// The pitch (in pitch units, 0 ... 17280) whose frequency lies nearest in Hz to hz, searched
// outwards from note's equal-tempered pitch: the first pitch at or beyond hz in the direction of hz
// and the pitch before it compete, and a tie goes to the first. hz is clamped into the tuned range;
// a frequency that is not a number counts as the lowest.
std::int32_t NearestPitch(int note, double hz);

// Converts the 128 note frequencies of a scale (through its key mapping) into pitch units.
void BuildPitchTable(const TUN::CSingleScale& scale, std::int32_t (&table)[128]);
