#include "engine/script/variables.h"

#include <cstring>
#include <string>

#include "engine/script/text.h"

namespace tarn {
namespace {

constexpr size_t kMaxNameChars = kNameSize - 3;  // 14 between the percent signs

// Builds "%name%" into out; false when the name does not fit a name slot.
bool MakeSlotName(const char* name, char (&out)[kNameSize]) {
  size_t len = std::strlen(name);
  if (len > kMaxNameChars) return false;
  out[0] = '%';
  std::memcpy(out + 1, name, len);
  out[len + 1] = '%';
  out[len + 2] = '\0';
  return true;
}

int SlotsFor(size_t valueLength) { return static_cast<int>(valueLength / kValueSize) + 1; }

// First slot after the variable at `slot` that is not one of its continuation slots.
int ExtentEnd(const VariableStore& store, int slot) {
  int e = slot + 1;
  while (e < store.count && store.names[e][0] == '\0') ++e;
  return e;
}

}  // namespace

void ClearVariables(VariableStore& store) { std::memset(&store, 0, sizeof store); }

void WriteSlotDirect(VariableStore& store, int slot, const char* slotName, const char* value) {
  CopyText(store.names[slot], kNameSize, slotName);
  CopyText(store.values[slot], kValueSize, value);
}

int FindVariableSlot(const VariableStore& store, const char* slotName) {
  for (int i = 0; i < store.count; ++i) {
    if (store.names[i][0] != '\0' && EqualNoCase(store.names[i], slotName)) return i;
  }
  return -1;
}

void GetVariable(const VariableStore& store, const char* name, char* out, size_t outSize) {
  if (outSize == 0) return;
  out[0] = '\0';
  char slotName[kNameSize];
  if (!MakeSlotName(name, slotName)) return;
  int slot = FindVariableSlot(store, slotName);
  if (slot >= 0) CopyText(out, outSize, store.values[slot]);
}

bool SetVariable(VariableStore& store, const char* name, const char* value) {
  char slotName[kNameSize];
  if (!MakeSlotName(name, slotName)) return false;
  size_t length = std::strlen(value);
  int k = SlotsFor(length);
  int a = FindVariableSlot(store, slotName);
  if (a < 0) {
    if (store.count + k > kSetVariableLimit) return false;
    a = store.count;
    std::memcpy(store.names[a], slotName, kNameSize);
    store.count = static_cast<uint16_t>(store.count + k);
  } else {
    int e = ExtentEnd(store, a);
    int delta = (a + k) - e;
    if (delta > 0 && store.count + delta > kSetVariableLimit) return false;
    if (delta != 0) {
      int moved = store.count - e;
      std::memmove(store.names[a + k], store.names[e], static_cast<size_t>(moved) * kNameSize);
      std::memmove(store.values[a + k], store.values[e], static_cast<size_t>(moved) * kValueSize);
      store.count = static_cast<uint16_t>(store.count + delta);
    }
  }
  for (int i = a + 1; i < a + k; ++i) store.names[i][0] = '\0';
  // The value runs through its k slots without a break; `value` may lie inside the store.
  std::memmove(store.values[a], value, length + 1);
  return true;
}

char* FindOrAddVariable(VariableStore& store, const char* name) {
  char slotName[kNameSize];
  if (name[0] == '%') {
    if (std::strlen(name) >= kNameSize) slotName[0] = '\0';
    else CopyText(slotName, kNameSize, name);
  } else if (!MakeSlotName(name, slotName)) {
    slotName[0] = '\0';
  }
  store.discard[0] = '\0';
  if (slotName[0] == '\0') return store.discard;
  int slot = FindVariableSlot(store, slotName);
  if (slot < 0) {
    if (store.count >= kVariableCapacity) return store.discard;
    slot = store.count++;
    store.values[slot][0] = '\0';
  }
  std::memcpy(store.names[slot], slotName, kNameSize);
  return store.values[slot];
}

// Expansion rules:
//  - at each "%" (double-byte characters are units, so a trail byte is never one), the
//    stored names of the slots in use are compared in slot order over their own length,
//    case ignored; the first match is replaced by the variable's whole value, and the
//    scan goes on after the inserted value (a value is never expanded again);
//  - without a match the text from that "%" up to and including the next "%" (or to the
//    end) is removed and the scan goes on at the same position;
//  - everything is cut to capacity - 1 characters.
void ExpandText(const VariableStore& store, char* dst, const char* src, size_t capacity) {
  if (capacity == 0) return;
  if (dst != src) {
    CopyText(dst, capacity, src);
  } else if (std::strlen(dst) > capacity - 1) {
    CopyText(dst, capacity, std::string(dst).c_str());
  }
  size_t pos = 0;
  for (;;) {
    const char* percent = FindChar(dst + pos, '%');
    if (percent == nullptr) return;
    size_t p = static_cast<size_t>(percent - dst);
    int match = -1;
    for (int i = 0; i < store.count; ++i) {
      const char* name = store.names[i];
      if (name[0] == '\0') continue;
      if (EqualNoCase(percent, name, std::strlen(name))) {
        match = i;
        break;
      }
    }
    if (match >= 0) {
      std::string tail(percent + std::strlen(store.names[match]));
      std::string value(store.values[match]);
      size_t inserted = CopyText(dst + p, capacity - p, value.c_str());
      AppendText(dst, capacity, tail.c_str());
      pos = p + inserted;
    } else {
      const char* next = FindChar(percent + 1, '%');
      if (next == nullptr) {
        dst[p] = '\0';
        return;
      }
      std::memmove(dst + p, next + 1, std::strlen(next + 1) + 1);
      pos = p;
    }
  }
}

}  // namespace tarn
