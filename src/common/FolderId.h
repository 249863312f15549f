#pragma once
// The fixed folders of the region tree; they are never records. User folders are numbered from
// FirstUser up, from a counter that the database keeps.
#include <cstdint>

namespace FolderId {
constexpr int32_t User = 1, System = 100, Lost = 111, Found = 112, Today = 121, Yesterday = 122;
constexpr int32_t FirstUser = 1001;
} // namespace FolderId
