#pragma once

#include <cstddef>
#include <string_view>

// Bounded text copies into host buffers and number formatting that never depends on the process
// locale (the plug-in shares the process with its host, so the decimal point is always ".").

// Longest texts written into host buffers, in characters; one terminating zero follows.
constexpr std::size_t kMaxParamTextChars = 24;    // parameter names, labels, display texts
constexpr std::size_t kMaxProgramNameChars = 24;  // program names
constexpr std::size_t kMaxEffectNameChars = 32;   // effect name
constexpr std::size_t kMaxVendorTextChars = 63;   // vendor and product (64-byte buffers)
constexpr std::size_t kMaxPinLabelChars = 63;     // VstPinProperties::label[64]
constexpr std::size_t kMaxKeyNameChars = 63;      // MidiKeyName::keyName[64]

// Copies at most maxChars characters of text into out and terminates it. Writes nothing when out is
// null. Answers the number of characters written.
std::size_t CopyText(char* out, std::string_view text, std::size_t maxChars);

// Length of a zero-terminated text, reading at most maxChars characters (0 for null).
std::size_t BoundedLength(const char* text, std::size_t maxChars);

// ASCII lower case of text (locale-independent).
void ToLowerAscii(char* text);

// The value converted to int by truncation towards zero, saturated to the int range; 0 for NaN.
int TruncateToInt(double value);

// "%.*f" of value with the given number of decimals (0..6) into out (capacity bytes including the
// terminator); answers false and writes "" only when capacity is 0.
bool FormatFixed(double value, int decimals, char* out, std::size_t capacity);
// "%d" of value.
bool FormatInt(long long value, char* out, std::size_t capacity);

// Parses a decimal number the way atof does in the "C" locale: leading white space, an optional
// sign, then the longest number prefix. Answers 0 when there is no number.
double ParseDouble(std::string_view text);
