#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A piece of music as the render host plays it: channel messages on a tick grid, with the tempo
// and time-signature changes that place the ticks in time.

struct SequenceEvent {
  std::int64_t tick = 0;
  std::uint8_t status = 0;
  std::uint8_t data1 = 0;
  std::uint8_t data2 = 0;
};

struct TempoChange {
  std::int64_t tick = 0;
  std::int64_t microsPerQuarter = 500000;
};

struct TimeSignatureChange {
  std::int64_t tick = 0;
  int numerator = 4;
  int denominator = 4;
};

struct MidiSequence {
  int ticksPerQuarter = 480;
  std::vector<SequenceEvent> events;      // ordered by tick
  std::vector<TempoChange> tempos;        // ordered by tick; may be empty (120 bpm)
  std::vector<TimeSignatureChange> signatures;
  std::vector<std::string> warnings;      // problems the reader stepped over

  std::int64_t LastTick() const { return events.empty() ? 0 : events.back().tick; }
};

// Reads a Standard MIDI File (formats 0, 1 and 2; running status; tempo and time-signature meta
// events). A damaged track ends where the damage starts and the rest of the file is still read.
// Answers false with a message only when nothing usable is there.
bool ReadMidiFile(const std::vector<std::uint8_t>& bytes, MidiSequence* sequence, std::string* error);
bool ReadMidiFile(const std::string& path, MidiSequence* sequence, std::string* error);

// Places ticks of a sequence in time at a sample rate and answers the musical position of a frame.
class TempoMap {
 public:
  TempoMap(const MidiSequence& sequence, double sampleRate);

  double TickToFrame(std::int64_t tick) const;
  // Position in quarter notes of a frame, and the tempo (bpm) in force there.
  double FrameToPpq(double frame) const;
  double TempoAt(double frame) const;
  // Start of the bar holding ppq, and the time signature in force there.
  double BarStart(double ppq, int* numerator, int* denominator) const;

 private:
  struct Segment {
    std::int64_t tick;
    double frame;
    double framesPerTick;
    double bpm;
  };
  std::vector<Segment> segments_;
  std::vector<TimeSignatureChange> signatures_;
  int ticksPerQuarter_;
};
