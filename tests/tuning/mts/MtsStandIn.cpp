// A stand-in for the MTS-ESP library: the nine entry points the instrument looks up, with a "master"
// whose presence, tuning table, scale name and note filter the tests set through the extra StandIn_
// functions. Built as a shared library and loaded by the instrument through TARVOLIN_LIBMTS.

#include <cmath>
#include <cstring>

#define STANDIN_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

double g_table[128];
bool g_filtered[128];
bool g_master = false;
int g_clients = 0;
int g_registrations = 0;
char g_name[64] = "Stand-in scale";

struct Init {
  Init() {
    for (int n = 0; n < 128; ++n) g_table[n] = 440.0 * std::pow(2.0, (n - 69) / 12.0);
  }
} g_init;

}  // namespace

STANDIN_EXPORT void MTS_RegisterClient() {
  ++g_clients;
  ++g_registrations;
}
STANDIN_EXPORT void MTS_DeregisterClient() { --g_clients; }
STANDIN_EXPORT bool MTS_HasMaster() { return g_master; }
STANDIN_EXPORT bool MTS_ShouldFilterNote(signed char note, signed char /*channel*/) {
  return note >= 0 && g_filtered[static_cast<int>(note)];
}
STANDIN_EXPORT bool MTS_ShouldFilterNoteMultiChannel(signed char note, signed char channel) {
  return MTS_ShouldFilterNote(note, channel);
}
STANDIN_EXPORT const double* MTS_GetTuningTable() { return g_table; }
STANDIN_EXPORT const double* MTS_GetMultiChannelTuningTable(signed char /*channel*/) { return g_table; }
STANDIN_EXPORT bool MTS_UseMultiChannelTuning(signed char /*channel*/) { return false; }
STANDIN_EXPORT const char* MTS_GetScaleName() { return g_name; }

// Controls for the tests.
STANDIN_EXPORT void StandIn_SetMaster(bool connected) { g_master = connected; }
STANDIN_EXPORT void StandIn_SetFrequency(int note, double hz) {
  if (note >= 0 && note < 128) g_table[note] = hz;
}
STANDIN_EXPORT void StandIn_SetFiltered(int note, bool filtered) {
  if (note >= 0 && note < 128) g_filtered[note] = filtered;
}
STANDIN_EXPORT void StandIn_SetScaleName(const char* name) {
  std::strncpy(g_name, name, sizeof(g_name) - 1);
  g_name[sizeof(g_name) - 1] = '\0';
}
STANDIN_EXPORT int StandIn_Clients() { return g_clients; }
STANDIN_EXPORT int StandIn_Registrations() { return g_registrations; }
