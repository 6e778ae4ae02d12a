// The engine's one variable store and the expansion of %NAME% references.
//
// The layout is an interface: plug-ins, action functions and the external controller
// receive the addresses of the two tables and write slots directly. 525 slots; a name
// slot holds the name with both percent signs (at most 14 characters between them); a
// value of n characters takes n / 256 + 1 consecutive value slots, the slots after the
// first having empty names (continuation slots). Slots 0 .. count - 1 are in use.
#pragma once
#include <cstddef>
#include <cstdint>

namespace tarn {

constexpr int kVariableCapacity = 525;
constexpr int kNameSize = 17;
constexpr int kValueSize = 256;
// SetVariable never fills the last slot; FindOrAddVariable may.
constexpr int kSetVariableLimit = 524;

struct VariableStore {
  char names[kVariableCapacity][kNameSize];
  char values[kVariableCapacity][kValueSize];
  uint16_t count;
  // Where FindOrAddVariable points a caller when the store cannot take the variable:
  // writes there go nowhere instead of past the tables.
  char discard[kValueSize];
};
static_assert(sizeof(VariableStore::names) == 8925, "name table is 525 x 17 bytes");
static_assert(sizeof(VariableStore::values) == 134400, "value table is 525 x 256 bytes");

void ClearVariables(VariableStore& store);

// Writes slot `slot` directly (name with percent signs), without counting it; used at
// start-up for slots 0 and 1 before any slot counts. The value is cut to 255 characters.
void WriteSlotDirect(VariableStore& store, int slot, const char* slotName, const char* value);

// Index of the slot named `slotName` (with percent signs, case ignored), or -1.
int FindVariableSlot(const VariableStore& store, const char* slotName);

// Sets `out` to the whole value of %name% ("" when there is none), cut to outSize - 1.
void GetVariable(const VariableStore& store, const char* name, char* out, size_t outSize);

// Creates or replaces %name%. Returns false (and changes nothing) when the name is longer
// than 14 characters or the value does not fit into the slots SetVariable may fill.
bool SetVariable(VariableStore& store, const char* name, const char* value);

// `name` with or without enclosing percent signs. Returns the first value slot of the
// variable (at most 255 characters may be read or written there), creating it empty when
// needed. When the store is full or the name too long, returns store.discard (emptied).
char* FindOrAddVariable(VariableStore& store, const char* name);

// Copies src into dst (they may be the same buffer) and replaces every %NAME% reference.
// The result never exceeds capacity - 1 characters. See the .cpp for the exact rules.
void ExpandText(const VariableStore& store, char* dst, const char* src, size_t capacity);
inline void ExpandPath(const VariableStore& store, char* dst, const char* src) {
  ExpandText(store, dst, src, kValueSize);
}

}  // namespace tarn
