#pragma once

// The table of resources linked into the library; generated at build time.

namespace tarvolin::resources {

struct ResourceEntry {
  const char* type;
  const char* name;
  const unsigned char* begin;
  const unsigned char* end;
};

// Ends with an entry whose type is null.
const ResourceEntry* Entries();

}  // namespace tarvolin::resources
