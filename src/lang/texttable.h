#pragma once

namespace m845 {

class TLangList;

inline constexpr int kTextTableSize = 149;

// Adds the 149 built-in entries in table order.
void FillTextTable(TLangList &list);

} // namespace m845
