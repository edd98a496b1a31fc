#pragma once

// The tuning list of the synthesizer: 0 equal temperament, 1-13 built-in temperaments held as Scala
// scale texts, 14 the user tuning loaded from a file.
namespace Temperaments {

constexpr int kCount = 15;
constexpr int kEqual = 0;
constexpr int kUser = 14;

// Name of entries 0-13 ("" for any other index; the user tuning carries its own name).
const char* Name(int index);
// Scala scale text of entries 1-13 (name line, count 12, twelve cents values); null for others.
const char* ScaleText(int index);

}  // namespace Temperaments
