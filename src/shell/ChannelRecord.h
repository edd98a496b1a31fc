#pragma once

#include <vector>

// One audio channel as the renderer sees it. The pointer slot is what RenderBlock reads or writes:
// the host's buffer (double entry) or the scratch buffer (float entries, disconnected channels).
struct ChannelRecord {
  bool connected = true;
  double* pointer = nullptr;
  // Doubles for one block; sized when the block size changes, never while rendering.
  std::vector<double> scratch;
  // Outputs: the host's float buffer of the current block, or null.
  float* hostFloat = nullptr;
};
