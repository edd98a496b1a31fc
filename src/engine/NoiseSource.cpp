#include "engine/NoiseSource.h"

constinit RandomSequence NoiseSource::sequence_{1};
